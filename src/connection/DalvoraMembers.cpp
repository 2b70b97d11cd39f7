#include "connection/DalvoraMembers.h"

#include <set>

namespace connection {

const std::array<TPropertyDefinition, 18> DalvoraProperties = {{
    {"Host", OLESTR("Сервер"), true, true},
    {"User", OLESTR("Пользователь"), true, true},
    {"Password", OLESTR("Пароль"), true, true},
    {"UnixSocket", OLESTR("ГнездоUnix"), true, true},
    {"Db", OLESTR("БазаДанных"), true, true},
    {"Port", OLESTR("Порт"), true, true},
    {"ClientFlag", OLESTR("ПараметрыКлиента"), true, true},
    {"ShouldReconnect", OLESTR("НужноПереустановитьСоединение"), true, true},
    {"UseNamedPipe", OLESTR("ИспользоватьИменованныеКаналы"), true, true},
    {"TrySockets", OLESTR("ИспользоватьГнезда"), true, true},
    {"ConnectTimeout", OLESTR("Таймаут"), true, true},
    {"Compress", OLESTR("ИспользоватьСжатие"), true, true},
    {"RecNo", OLESTR("НомерЗаписи"), true, false},
    {"FieldsCount", OLESTR("КоличествоПолей"), true, false},
    {"RowsCount", OLESTR("КоличествоЗаписей"), true, false},
    {"ResultType", OLESTR("ТипЗапроса"), true, false},
    {"AutoType", OLESTR("АвтоТипизация"), true, true},
    {"UseNewPassword", OLESTR("ИспользоватьНовыеПароли"), true, true},
}};

namespace {
// Handler sets of the method table.
constexpr bool Y = true, N = false;
}  // namespace

// Name, alternative name, parameters, return value, Def, Proc, Func.
const std::array<TMethodDefinition, 45> DalvoraMethods = {{
    {"Status", OLESTR("Состояние"), 0, Y, N, N, Y},
    {"ThreadId", OLESTR("Идентификатор"), 0, Y, N, N, Y},
    {"AffectedRows", OLESTR("КоличествоОбработанныхЗаписей"), 0, Y, N, N, Y},
    {"LastInsertId", OLESTR("ПоследнийИдентификатор"), 0, Y, N, N, Y},
    {"ServerVersion", OLESTR("ВерсияСервера"), 0, Y, N, N, Y},
    {"ClientVersion", OLESTR("ВерсияКлиента"), 0, Y, N, N, Y},
    {"ProtocolVersion", OLESTR("ВерсияПротокола"), 0, Y, N, N, Y},
    {"ServerCapabilities", OLESTR("ВозможностиСервера"), 0, Y, N, N, Y},
    {"ServerStatus", OLESTR("СостояниеСервера"), 0, Y, N, N, Y},
    {"ServerLanguage", OLESTR("ЯзыкСервера"), 0, Y, N, N, Y},
    {"ExtraInfo", OLESTR("ДополнительнаяИнформация"), 0, Y, N, N, Y},
    {"Info", OLESTR("Информация"), 0, Y, N, N, Y},
    {"LastError", OLESTR("ПоследняяОшибка"), 0, Y, N, N, Y},
    {"LastErrorNo", OLESTR("НомерПоследнейОшибки"), 0, Y, N, N, Y},
    {"Connected", OLESTR("Подключен"), 0, Y, N, N, Y},
    {"Connect", OLESTR("УстановитьСоединение"), 0, Y, N, Y, Y},
    {"Reconnect", OLESTR("ПереустановитьСоединение"), 0, Y, N, Y, Y},
    {"Close", OLESTR("ЗакрытьСоединение"), 0, N, N, Y, N},
    {"SelectDb", OLESTR("ВыбратьБазуДанных"), 1, Y, N, Y, Y},
    {"CreateDb", OLESTR("СоздатьБазуДанных"), 1, Y, N, Y, Y},
    {"DropDb", OLESTR("УдалитьБазуДанных"), 1, Y, N, Y, Y},
    {"ChangeUser", OLESTR("УстановитьПользователя"), 3, Y, Y, Y, Y},
    {"Refresh", OLESTR("Обновить"), 1, Y, N, Y, Y},
    {"Kill", OLESTR("ЗавершитьПроцесс"), 1, Y, N, Y, Y},
    {"Ping", OLESTR("ПроверитьСоединение"), 0, Y, N, N, Y},
    {"Shutdown", OLESTR("ОстановитьСервер"), 0, Y, N, Y, Y},
    {"Stat", OLESTR("Статистика"), 0, Y, N, N, Y},
    {"Query", OLESTR("ВыполнитьЗапрос"), 3, Y, Y, Y, Y},
    {"Execute", OLESTR("Выполнить"), 2, Y, Y, Y, Y},
    {"LastRowRead", OLESTR("ПрочитанаПоследняяЗапись"), 0, Y, N, N, Y},
    {"EOF", OLESTR("ВКонце"), 0, Y, N, N, Y},
    {"BOF", OLESTR("ВНачале"), 0, Y, N, N, Y},
    {"FieldDef", OLESTR("ПолучитьПараметрыПоля"), 2, Y, Y, N, Y},
    {"FieldType", OLESTR("ТипПоля"), 1, Y, N, N, Y},
    {"Next", OLESTR("Следующая"), 0, N, N, Y, N},
    {"Prior", OLESTR("Предыдущая"), 0, N, N, Y, N},
    {"First", OLESTR("Первая"), 0, N, N, Y, N},
    {"Last", OLESTR("Последняя"), 0, N, N, Y, N},
    {"Locate", OLESTR("Перейти"), 1, N, N, Y, N},
    {"FetchValue", OLESTR("ПолучитьЗначение"), 1, Y, N, N, Y},
    {"FetchRow", OLESTR("ПолучитьЗапись"), 1, Y, Y, Y, Y},
    {"FetchAll", OLESTR("ПолучитьВсе"), 1, Y, Y, Y, Y},
    {"FillAll", OLESTR("ЗаполнитьВсе"), 1, N, N, Y, Y},
    {"ListProcesses", OLESTR("СписокПроцессов"), 1, Y, Y, Y, Y},
    {"Clone", OLESTR("Клонировать"), 0, Y, N, N, Y},
}};

namespace {

// Hands out handlers by name and remembers which names were asked for, so
// that handlers nobody asked for can be reported.
template <class Handler>
class THandlerSource {
 public:
  explicit THandlerSource(const std::map<std::string, Handler>& Supplied) : supplied_(Supplied) {}

  const Handler& Take(const std::string& Name) {
    const auto Found = supplied_.find(Name);
    if (Found == supplied_.end() || !Found->second)
      throw addin::TAddinError("Member table handler " + Name + " is missing");
    taken_.insert(Name);
    return Found->second;
  }

  void RequireAllTaken() const {
    for (const auto& [Name, Supplied] : supplied_)
      if (!taken_.count(Name))
        throw addin::TAddinError("Handler " + Name + " belongs to no member of the table");
  }

 private:
  const std::map<std::string, Handler>& supplied_;
  std::set<std::string> taken_;
};

template <class Event>
const Event& RequireEvent(const Event& Handler, const char* Name) {
  if (!Handler)
    throw addin::TAddinError(std::string("Member table handler ") + Name + " is missing");
  return Handler;
}

}  // namespace

addin::TAddinHelper BuildDalvoraMemberTable(const TDalvoraHandlers& Handlers) {
  addin::TAddinHelper Table;
  Table.ExtensionName = DalvoraExtensionName;

  THandlerSource Properties(Handlers.Properties);
  for (const TPropertyDefinition& Definition : DalvoraProperties) {
    const std::string Prefix = std::string("AddinHelperProperties") + Definition.Name;
    addin::TPropertiesItem Item;
    Item.AlternativeName = Definition.AlternativeName;
    Item.Name = Definition.Name;
    Item.IsReadable = Definition.IsReadable;
    Item.IsWriteable = Definition.IsWriteable;
    Item.OnGet = Properties.Take(Prefix + "Get");
    if (Definition.IsWriteable) Item.OnSet = Properties.Take(Prefix + "Set");
    Table.Properties.push_back(std::move(Item));
  }
  Properties.RequireAllTaken();

  THandlerSource DefaultParams(Handlers.DefaultParams);
  THandlerSource Procedures(Handlers.Procedures);
  THandlerSource Functions(Handlers.Functions);
  for (const TMethodDefinition& Definition : DalvoraMethods) {
    const std::string Prefix = std::string("AddinHelperMethods") + Definition.Name;
    addin::TMethodsItem Item;
    Item.AlternativeName = Definition.AlternativeName;
    Item.Name = Definition.Name;
    Item.ParamsCount = Definition.ParamsCount;
    Item.ReturnValue = Definition.ReturnValue;
    if (Definition.HasDefaultParam)
      Item.OnGetDefaultParam = DefaultParams.Take(Prefix + "GetDefaultParam");
    if (Definition.HasProc) Item.OnCallAsProc = Procedures.Take(Prefix + "CallAsProc");
    if (Definition.HasFunc) Item.OnCallAsFunc = Functions.Take(Prefix + "CallAsFunc");
    Table.Methods.push_back(std::move(Item));
  }
  DefaultParams.RequireAllTaken();
  Procedures.RequireAllTaken();
  Functions.RequireAllTaken();

  Table.OnGetProperty = RequireEvent(Handlers.AddinHelperGetProperty, "AddinHelperGetProperty");
  Table.OnFindProperty = RequireEvent(Handlers.AddinHelperFindProperty, "AddinHelperFindProperty");
  Table.OnGetPropertyName =
      RequireEvent(Handlers.AddinHelperGetPropertyName, "AddinHelperGetPropertyName");
  Table.OnGetPropertyCount =
      RequireEvent(Handlers.AddinHelperGetPropertyCount, "AddinHelperGetPropertyCount");
  Table.OnIsPropertyReadable =
      RequireEvent(Handlers.AddinHelperIsPropertyReadable, "AddinHelperIsPropertyReadable");
  Table.OnIsPropertyWriteable =
      RequireEvent(Handlers.AddinHelperIsPropertyWriteable, "AddinHelperIsPropertyWriteable");
  return Table;
}

}  // namespace connection
