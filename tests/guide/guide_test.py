"""The guide's checks: the shipped samples and pages pass, and the checkers
refuse what a slip in the guide would produce (a misspelt member, too many
arguments, a read-only property set, a page whose tags do not close)."""

import importlib.machinery
import importlib.util
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
loader = importlib.machinery.SourceFileLoader("guide", str(ROOT / "scripts" / "guide"))
description = importlib.util.spec_from_loader("guide", loader)
guide = importlib.util.module_from_spec(description)
loader.exec_module(guide)

failures = 0


def expect(name, condition, detail=""):
    global failures
    print(f"{'ok  ' if condition else 'FAIL'} {name}")
    if not condition:
        print(f"     {detail}")
        failures += 1


members = guide.load_members(guide.MEMBERS)
expect("the member table reads with both names",
       members.get("Query") == members.get("ВыполнитьЗапрос") == ("method", (3, True)) and
       members.get("SslCipher") == ("property", False), members.get("Query"))

BROKEN = '''Перем С;
С = СоздатьОбъект("AddIn.Dalvora");
С.Сервер = "x";   // С.Нет() in a comment is not code
С.ШифрTLS = "";
Если С.УстановитьСоедининие() = 0 Тогда Возврат; КонецЕсли;
С.ВыполнитьЗапрос("select 1, 2", , 1, 4);
Т = С.Следующая();
Сообщить(С.Сервер + С.ПоследняяОшибка);
К = С.Клонировать();
К.Выполнить("select ')'", Параметры);
К.Порт(1);
'''
problems, used = guide.sample_problems(BROKEN.splitlines(), members)
expected = ["line 4: ШифрTLS is read-only", "line 5: the connection object has no member "
            "УстановитьСоедининие", "line 6: ВыполнитьЗапрос takes 3 argument(s), given 4",
            "line 7: Следующая has no value", "line 8: ПоследняяОшибка is a method, used without",
            "line 11: Порт is a property, called as a method"]
expect("a broken sample: every slip found, nothing else",
       len(problems) == len(expected) and all(
           any(problem.startswith(text) for problem in problems) for text in expected),
       problems)

expect("an unbalanced page is refused",
       guide.html_problems(b'<!DOCTYPE HTML><html><head><meta http-equiv="Content-Type" '
                           b'content="text/html; charset=utf-8"></head><body><p><b>x</p>'
                           b'</body></html>') != [])

result = subprocess.run([sys.executable, str(ROOT / "scripts" / "guide"), "check-sample"],
                        capture_output=True, text=True)
expect("the shipped samples use only the connection object's members", result.returncode == 0,
       result.stdout)

with tempfile.TemporaryDirectory() as out:
    written = guide.build(pathlib.Path(out), "1.2.3.4")
    pages = [pathlib.Path(out) / name for name in written if name.endswith(".html")]
    expect("the pages parse and their tags balance",
           all(not guide.html_problems(page.read_bytes()) for page in pages),
           [guide.html_problems(page.read_bytes()) for page in pages])
    for language in guide.LANGUAGES:
        text = (pathlib.Path(out) / f"orbelin-guide.{language}.txt").read_bytes()
        sample = (pathlib.Path(out) / f"orbelin-sample.{language}.txt").read_bytes()
        source = (guide.SOURCES / f"guide.{language}.md").read_text(encoding="utf-8")
        expect(f"the {language} text: BOM, CR LF, no Markdown left",
               text.startswith(b"\xef\xbb\xbf") and b"\n" not in text.replace(b"\r\n", b"") and
               b"**" not in text and b"`" not in text and b"```" not in text)
        # The sample file is the guide's block, nothing more and nothing less.
        block = source.split("```1c sample\n", 1)[1].split("\n```", 1)[0]
        expect(f"the {language} sample file is the guide's sample, in Windows-1251",
               sample == (block.replace("\n", "\r\n") + "\r\n").encode("cp1251"))

print(f"guide checks: {failures} failed")
sys.exit(1 if failures else 0)
