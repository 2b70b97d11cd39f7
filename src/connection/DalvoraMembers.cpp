#include "connection/DalvoraMembers.h"

#include <set>

namespace connection {

const std::array<TPropertyDefinition, 18> kDalvoraProperties = {{
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
constexpr bool kY = true, kN = false;
}  // namespace

// Name, alternative name, parameters, return value, Def, Proc, Func.
const std::array<TMethodDefinition, 45> kDalvoraMethods = {{
    {"Status", OLESTR("Состояние"), 0, kY, kN, kN, kY},
    {"ThreadId", OLESTR("Идентификатор"), 0, kY, kN, kN, kY},
    {"AffectedRows", OLESTR("КоличествоОбработанныхЗаписей"), 0, kY, kN, kN, kY},
    {"LastInsertId", OLESTR("ПоследнийИдентификатор"), 0, kY, kN, kN, kY},
    {"ServerVersion", OLESTR("ВерсияСервера"), 0, kY, kN, kN, kY},
    {"ClientVersion", OLESTR("ВерсияКлиента"), 0, kY, kN, kN, kY},
    {"ProtocolVersion", OLESTR("ВерсияПротокола"), 0, kY, kN, kN, kY},
    {"ServerCapabilities", OLESTR("ВозможностиСервера"), 0, kY, kN, kN, kY},
    {"ServerStatus", OLESTR("СостояниеСервера"), 0, kY, kN, kN, kY},
    {"ServerLanguage", OLESTR("ЯзыкСервера"), 0, kY, kN, kN, kY},
    {"ExtraInfo", OLESTR("ДополнительнаяИнформация"), 0, kY, kN, kN, kY},
    {"Info", OLESTR("Информация"), 0, kY, kN, kN, kY},
    {"LastError", OLESTR("ПоследняяОшибка"), 0, kY, kN, kN, kY},
    {"LastErrorNo", OLESTR("НомерПоследнейОшибки"), 0, kY, kN, kN, kY},
    {"Connected", OLESTR("Подключен"), 0, kY, kN, kN, kY},
    {"Connect", OLESTR("УстановитьСоединение"), 0, kY, kN, kY, kY},
    {"Reconnect", OLESTR("ПереустановитьСоединение"), 0, kY, kN, kY, kY},
    {"Close", OLESTR("ЗакрытьСоединение"), 0, kN, kN, kY, kN},
    {"SelectDb", OLESTR("ВыбратьБазуДанных"), 1, kY, kN, kY, kY},
    {"CreateDb", OLESTR("СоздатьБазуДанных"), 1, kY, kN, kY, kY},
    {"DropDb", OLESTR("УдалитьБазуДанных"), 1, kY, kN, kY, kY},
    {"ChangeUser", OLESTR("УстановитьПользователя"), 3, kY, kY, kY, kY},
    {"Refresh", OLESTR("Обновить"), 1, kY, kN, kY, kY},
    {"Kill", OLESTR("ЗавершитьПроцесс"), 1, kY, kN, kY, kY},
    {"Ping", OLESTR("ПроверитьСоединение"), 0, kY, kN, kN, kY},
    {"Shutdown", OLESTR("ОстановитьСервер"), 0, kY, kN, kY, kY},
    {"Stat", OLESTR("Статистика"), 0, kY, kN, kN, kY},
    {"Query", OLESTR("ВыполнитьЗапрос"), 3, kY, kY, kY, kY},
    {"Execute", OLESTR("Выполнить"), 2, kY, kY, kY, kY},
    {"LastRowRead", OLESTR("ПрочитанаПоследняяЗапись"), 0, kY, kN, kN, kY},
    {"EOF", OLESTR("ВКонце"), 0, kY, kN, kN, kY},
    {"BOF", OLESTR("ВНачале"), 0, kY, kN, kN, kY},
    {"FieldDef", OLESTR("ПолучитьПараметрыПоля"), 2, kY, kY, kN, kY},
    {"FieldType", OLESTR("ТипПоля"), 1, kY, kN, kN, kY},
    {"Next", OLESTR("Следующая"), 0, kN, kN, kY, kN},
    {"Prior", OLESTR("Предыдущая"), 0, kN, kN, kY, kN},
    {"First", OLESTR("Первая"), 0, kN, kN, kY, kN},
    {"Last", OLESTR("Последняя"), 0, kN, kN, kY, kN},
    {"Locate", OLESTR("Перейти"), 1, kN, kN, kY, kN},
    {"FetchValue", OLESTR("ПолучитьЗначение"), 1, kY, kN, kN, kY},
    {"FetchRow", OLESTR("ПолучитьЗапись"), 1, kY, kY, kY, kY},
    {"FetchAll", OLESTR("ПолучитьВсе"), 1, kY, kY, kY, kY},
    {"FillAll", OLESTR("ЗаполнитьВсе"), 1, kN, kN, kY, kY},
    {"ListProcesses", OLESTR("СписокПроцессов"), 1, kY, kY, kY, kY},
    {"Clone", OLESTR("Клонировать"), 0, kY, kN, kN, kY},
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
  Table.ExtensionName = kDalvoraExtensionName;

  THandlerSource Properties(Handlers.Properties);
  for (const TPropertyDefinition& Definition : kDalvoraProperties) {
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
  for (const TMethodDefinition& Definition : kDalvoraMethods) {
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
