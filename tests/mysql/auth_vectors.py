#!/usr/bin/env python3
"""Prints the expected scrambles of AuthVectors.h, computed with hashlib (by
the functions of the scripted MySQL server) rather than by the code under test:

    tests/mysql/auth_vectors.py > tests/mysql/AuthVectors.h
"""

import pathlib
import sys

# The scrambles as the scripted MySQL server checks them.
sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "support"))
from fake_mysql_server import caching_sha2_scramble, native_scramble  # noqa: E402

VECTORS = [
    ("kSha2GreetingPw", caching_sha2_scramble, b"abcdefghijklmnopqrst", b"pw"),
    ("kSha2SwitchNewPw", caching_sha2_scramble, b"ABCDEFGHIJKLMNOPQRST", b"new-pw"),
    ("kSha2GreetingNewPw", caching_sha2_scramble, b"abcdefghijklmnopqrst", b"new-pw"),
    ("kNativeSwitchPw", native_scramble, b"ABCDEFGHIJKLMNOPQRST", b"pw"),
    ("kNativeGreetingPw", native_scramble, b"abcdefghijklmnopqrst", b"pw"),
]

print("#pragma once")
print("// Written by auth_vectors.py (hashlib): the scrambles the fake-server tests")
print("// expect, computed independently of the client.")
print()
print('#include "support/ScriptedStream.h"')
print()
for name, scramble, nonce, password in VECTORS:
    print(f"// {scramble.__name__} of \"{password.decode()}\" with the nonce \"{nonce.decode()}\"")
    digest = scramble(nonce, password)
    rows = [", ".join(f"0x{b:02X}" for b in digest[i:i + 10]) for i in range(0, len(digest), 10)]
    print(f"inline const Bytes {name} = {{")
    for row in rows:
        print(f"    {row},")
    print("};")
