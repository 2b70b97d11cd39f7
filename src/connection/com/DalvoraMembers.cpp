#include "connection/com/DalvoraMembers.h"

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
  explicit THandlerSource(const std::map<std::string, Handler>& supplied) : supplied_(supplied) {}

  const Handler& Take(const std::string& name) {
    const auto found = supplied_.find(name);
    if (found == supplied_.end() || !found->second)
      throw addin::TAddinError("Member table handler " + name + " is missing");
    taken_.insert(name);
    return found->second;
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
const Event& RequireEvent(const Event& handler, const char* name) {
  if (!handler)
    throw addin::TAddinError(std::string("Member table handler ") + name + " is missing");
  return handler;
}

}  // namespace

addin::TAddinHelper BuildDalvoraMemberTable(const TDalvoraHandlers& handlers) {
  addin::TAddinHelper table;
  table.ExtensionName = kDalvoraExtensionName;

  THandlerSource properties(handlers.Properties);
  for (const TPropertyDefinition& definition : kDalvoraProperties) {
    const std::string prefix = std::string("AddinHelperProperties") + definition.Name;
    addin::TPropertiesItem item;
    item.AlternativeName = definition.AlternativeName;
    item.Name = definition.Name;
    item.IsReadable = definition.IsReadable;
    item.IsWriteable = definition.IsWriteable;
    item.OnGet = properties.Take(prefix + "Get");
    if (definition.IsWriteable) item.OnSet = properties.Take(prefix + "Set");
    table.Properties.push_back(std::move(item));
  }
  properties.RequireAllTaken();

  THandlerSource defaultParams(handlers.DefaultParams);
  THandlerSource procedures(handlers.Procedures);
  THandlerSource functions(handlers.Functions);
  for (const TMethodDefinition& definition : kDalvoraMethods) {
    const std::string prefix = std::string("AddinHelperMethods") + definition.Name;
    addin::TMethodsItem item;
    item.AlternativeName = definition.AlternativeName;
    item.Name = definition.Name;
    item.ParamsCount = definition.ParamsCount;
    item.ReturnValue = definition.ReturnValue;
    if (definition.HasDefaultParam)
      item.OnGetDefaultParam = defaultParams.Take(prefix + "GetDefaultParam");
    if (definition.HasProc) item.OnCallAsProc = procedures.Take(prefix + "CallAsProc");
    if (definition.HasFunc) item.OnCallAsFunc = functions.Take(prefix + "CallAsFunc");
    table.Methods.push_back(std::move(item));
  }
  defaultParams.RequireAllTaken();
  procedures.RequireAllTaken();
  functions.RequireAllTaken();

  table.OnGetProperty = RequireEvent(handlers.AddinHelperGetProperty, "AddinHelperGetProperty");
  table.OnFindProperty = RequireEvent(handlers.AddinHelperFindProperty, "AddinHelperFindProperty");
  table.OnGetPropertyName =
      RequireEvent(handlers.AddinHelperGetPropertyName, "AddinHelperGetPropertyName");
  table.OnGetPropertyCount =
      RequireEvent(handlers.AddinHelperGetPropertyCount, "AddinHelperGetPropertyCount");
  table.OnIsPropertyReadable =
      RequireEvent(handlers.AddinHelperIsPropertyReadable, "AddinHelperIsPropertyReadable");
  table.OnIsPropertyWriteable =
      RequireEvent(handlers.AddinHelperIsPropertyWriteable, "AddinHelperIsPropertyWriteable");
  return table;
}

}  // namespace connection
