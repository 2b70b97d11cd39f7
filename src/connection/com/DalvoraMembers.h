// The members of the connection object, written once: the lists below give
// each member's English and Russian name and its flags, in the order the host
// numbers them. Everything else follows from them: the member table with its
// names and flags (DalvoraMemberTable), the handlers TModule declares, and
// their attachment to the table (OrbelinModule.cpp). A handler is named after
// its member: AddinHelperProperties<Name>Get and Set, AddinHelperMethods<Name>
// GetDefaultParam, CallAsProc and CallAsFunc; one the flags call for that the
// module lacks or misspells does not compile.
#pragma once

#include <array>
#include <cstdint>

#include "addin/AddinHelper.h"
#include "platform/com/Com.h"

namespace connection {

// The flags of the lists. Every property can be read; a ReadWrite one can
// also be set. A method yields a value (Value) or not (NoValue), and has the
// handlers its flags name: Def (GetDefaultParam), Proc (CallAsProc), Func
// (CallAsFunc). FuncAsProc: called as a procedure, the method does its
// function's work and drops the result; it has no procedure handler of its own.
enum class TAccess { ReadOnly, ReadWrite };
enum class TReturnValue { NoValue, Value };
enum class TDefaultParam { NoDef, Def };
enum class TProcedure { NoProc, Proc, FuncAsProc };
enum class TFunction { NoFunc, Func };

// clang-format off
#define ORBELIN_DALVORA_PROPERTIES(PROPERTY)                                                       \
/*       Name             Russian name                     Access */                               \
PROPERTY(Host,            "Сервер",                        ReadWrite)                              \
PROPERTY(User,            "Пользователь",                  ReadWrite)                              \
PROPERTY(Password,        "Пароль",                        ReadWrite)                              \
PROPERTY(UnixSocket,      "ГнездоUnix",                    ReadWrite)                              \
PROPERTY(Db,              "БазаДанных",                    ReadWrite)                              \
PROPERTY(Port,            "Порт",                          ReadWrite)                              \
PROPERTY(ClientFlag,      "ПараметрыКлиента",              ReadWrite)                              \
PROPERTY(ShouldReconnect, "НужноПереустановитьСоединение", ReadWrite)                              \
PROPERTY(UseNamedPipe,    "ИспользоватьИменованныеКаналы", ReadWrite)                              \
PROPERTY(TrySockets,      "ИспользоватьГнезда",            ReadWrite)                              \
PROPERTY(ConnectTimeout,  "Таймаут",                       ReadWrite)                              \
PROPERTY(Compress,        "ИспользоватьСжатие",            ReadWrite)                              \
PROPERTY(RecNo,           "НомерЗаписи",                   ReadOnly)                               \
PROPERTY(FieldsCount,     "КоличествоПолей",               ReadOnly)                               \
PROPERTY(RowsCount,       "КоличествоЗаписей",             ReadOnly)                               \
PROPERTY(ResultType,      "ТипЗапроса",                    ReadOnly)                               \
PROPERTY(AutoType,        "АвтоТипизация",                 ReadWrite)                              \
PROPERTY(UseNewPassword,  "ИспользоватьНовыеПароли",       ReadWrite)                              \
PROPERTY(ReadTimeout,     "ТаймаутЧтения",                 ReadWrite)                              \
PROPERTY(WriteTimeout,    "ТаймаутЗаписи",                 ReadWrite)                              \
PROPERTY(SslMode,         "РежимШифрования",               ReadWrite)                              \
PROPERTY(SslCa,           "ФайлЦС",                        ReadWrite)                              \
PROPERTY(SslCert,         "ФайлСертификата",               ReadWrite)                              \
PROPERTY(SslKey,          "ФайлКлюча",                     ReadWrite)                              \
PROPERTY(SslCipher,       "ШифрTLS",                       ReadOnly)                               \
PROPERTY(AllowPublicKeyRetrieval, "ЗапрашиватьКлючСервера", ReadWrite)                             \
PROPERTY(ServerPublicKey, "ФайлКлючаСервера",              ReadWrite)                              \
PROPERTY(Charset,         "Кодировка",                     ReadWrite)

#define ORBELIN_DALVORA_METHODS(METHOD)                                                            \
/*     Name                Russian name                Params  Value    Def    Proc        Func */ \
METHOD(Status,             "Состояние",                     0, Value,   NoDef, NoProc,     Func)   \
METHOD(ThreadId,           "Идентификатор",                 0, Value,   NoDef, NoProc,     Func)   \
METHOD(AffectedRows,       "КоличествоОбработанныхЗаписей", 0, Value,   NoDef, NoProc,     Func)   \
METHOD(LastInsertId,       "ПоследнийИдентификатор",        0, Value,   NoDef, NoProc,     Func)   \
METHOD(ServerVersion,      "ВерсияСервера",                 0, Value,   NoDef, NoProc,     Func)   \
METHOD(ClientVersion,      "ВерсияКлиента",                 0, Value,   NoDef, NoProc,     Func)   \
METHOD(ProtocolVersion,    "ВерсияПротокола",               0, Value,   NoDef, NoProc,     Func)   \
METHOD(ServerCapabilities, "ВозможностиСервера",            0, Value,   NoDef, NoProc,     Func)   \
METHOD(ServerStatus,       "СостояниеСервера",              0, Value,   NoDef, NoProc,     Func)   \
METHOD(ServerLanguage,     "ЯзыкСервера",                   0, Value,   NoDef, NoProc,     Func)   \
METHOD(ExtraInfo,          "ДополнительнаяИнформация",      0, Value,   NoDef, NoProc,     Func)   \
METHOD(Info,               "Информация",                    0, Value,   NoDef, NoProc,     Func)   \
METHOD(LastError,          "ПоследняяОшибка",               0, Value,   NoDef, NoProc,     Func)   \
METHOD(LastErrorNo,        "НомерПоследнейОшибки",          0, Value,   NoDef, NoProc,     Func)   \
METHOD(Connected,          "Подключен",                     0, Value,   NoDef, NoProc,     Func)   \
METHOD(Connect,            "УстановитьСоединение",          0, Value,   NoDef, FuncAsProc, Func)   \
METHOD(Reconnect,          "ПереустановитьСоединение",      0, Value,   NoDef, FuncAsProc, Func)   \
METHOD(Close,              "ЗакрытьСоединение",             0, NoValue, NoDef, Proc,       NoFunc) \
METHOD(SelectDb,           "ВыбратьБазуДанных",             1, Value,   NoDef, FuncAsProc, Func)   \
METHOD(CreateDb,           "СоздатьБазуДанных",             1, Value,   NoDef, FuncAsProc, Func)   \
METHOD(DropDb,             "УдалитьБазуДанных",             1, Value,   NoDef, FuncAsProc, Func)   \
METHOD(ChangeUser,         "УстановитьПользователя",        3, Value,   Def,   FuncAsProc, Func)   \
METHOD(Refresh,            "Обновить",                      1, Value,   NoDef, FuncAsProc, Func)   \
METHOD(Kill,               "ЗавершитьПроцесс",              1, Value,   NoDef, FuncAsProc, Func)   \
METHOD(Ping,               "ПроверитьСоединение",           0, Value,   NoDef, NoProc,     Func)   \
METHOD(Shutdown,           "ОстановитьСервер",              0, Value,   NoDef, FuncAsProc, Func)   \
METHOD(Stat,               "Статистика",                    0, Value,   NoDef, NoProc,     Func)   \
METHOD(Query,              "ВыполнитьЗапрос",               3, Value,   Def,   FuncAsProc, Func)   \
METHOD(Execute,            "Выполнить",                     2, Value,   Def,   FuncAsProc, Func)   \
METHOD(LastRowRead,        "ПрочитанаПоследняяЗапись",      0, Value,   NoDef, NoProc,     Func)   \
METHOD(EOF,                "ВКонце",                        0, Value,   NoDef, NoProc,     Func)   \
METHOD(BOF,                "ВНачале",                       0, Value,   NoDef, NoProc,     Func)   \
METHOD(FieldDef,           "ПолучитьПараметрыПоля",         2, Value,   Def,   NoProc,     Func)   \
METHOD(FieldType,          "ТипПоля",                       1, Value,   NoDef, NoProc,     Func)   \
METHOD(Next,               "Следующая",                     0, NoValue, NoDef, Proc,       NoFunc) \
METHOD(Prior,              "Предыдущая",                    0, NoValue, NoDef, Proc,       NoFunc) \
METHOD(First,              "Первая",                        0, NoValue, NoDef, Proc,       NoFunc) \
METHOD(Last,               "Последняя",                     0, NoValue, NoDef, Proc,       NoFunc) \
METHOD(Locate,             "Перейти",                       1, NoValue, NoDef, Proc,       NoFunc) \
METHOD(FetchValue,         "ПолучитьЗначение",              1, Value,   NoDef, NoProc,     Func)   \
METHOD(FetchRow,           "ПолучитьЗапись",                1, Value,   Def,   Proc,       Func)   \
METHOD(FetchAll,           "ПолучитьВсе",                   1, Value,   Def,   Proc,       Func)   \
METHOD(FillAll,            "ЗаполнитьВсе",                  1, NoValue, NoDef, FuncAsProc, Func)   \
METHOD(ListProcesses,      "СписокПроцессов",               1, Value,   Def,   FuncAsProc, Func)   \
METHOD(Clone,              "Клонировать",                   0, Value,   NoDef, NoProc,     Func)   \
METHOD(NextResult,         "СледующийРезультат",            0, Value,   NoDef, FuncAsProc, Func)   \
METHOD(Escape,             "Экранировать",                  1, Value,   NoDef, NoProc,     Func)   \
METHOD(PutAll,             "ЗаписатьВсе",                   4, Value,   Def,   FuncAsProc, Func)

// In the expansions, ORBELIN_IF_<flag>(text) is the text where the flag calls
// for a handler and nothing where it does not.
#define ORBELIN_IF_ReadWrite(...) __VA_ARGS__
#define ORBELIN_IF_ReadOnly(...)
#define ORBELIN_IF_Def(...) __VA_ARGS__
#define ORBELIN_IF_NoDef(...)
#define ORBELIN_IF_Proc(...) __VA_ARGS__
#define ORBELIN_IF_FuncAsProc(...)
#define ORBELIN_IF_NoProc(...)
#define ORBELIN_IF_Func(...) __VA_ARGS__
#define ORBELIN_IF_NoFunc(...)
#define ORBELIN_IF_FUNC_AS_PROC_Proc(...)
#define ORBELIN_IF_FUNC_AS_PROC_FuncAsProc(...) __VA_ARGS__
#define ORBELIN_IF_FUNC_AS_PROC_NoProc(...)
// clang-format on

inline constexpr char kDalvoraExtensionName[] = "Dalvora";

struct TPropertyDefinition {
  const char* Name;
  const OLECHAR* AlternativeName;  // UTF-16, as the table holds it
  TAccess Access;
};

struct TMethodDefinition {
  const char* Name;
  const OLECHAR* AlternativeName;
  std::int32_t ParamsCount;
  TReturnValue ReturnValue;
  TDefaultParam DefaultParam;
  TProcedure Procedure;
  TFunction Function;
};

#define ORBELIN_PROPERTY_DEFINITION(Name, Russian, Access) \
  {#Name, OLESTR(Russian), TAccess::Access},
#define ORBELIN_METHOD_DEFINITION(Name, Russian, Params, Value, Def, Procedure, Function) \
  {#Name,                                                                                 \
   OLESTR(Russian),                                                                       \
   Params,                                                                                \
   TReturnValue::Value,                                                                   \
   TDefaultParam::Def,                                                                    \
   TProcedure::Procedure,                                                                 \
   TFunction::Function},

inline constexpr auto kDalvoraProperties =
    std::to_array<TPropertyDefinition>({ORBELIN_DALVORA_PROPERTIES(ORBELIN_PROPERTY_DEFINITION)});
inline constexpr auto kDalvoraMethods =
    std::to_array<TMethodDefinition>({ORBELIN_DALVORA_METHODS(ORBELIN_METHOD_DEFINITION)});

#undef ORBELIN_PROPERTY_DEFINITION
#undef ORBELIN_METHOD_DEFINITION

// The table with ExtensionName "Dalvora", every member's names and flags, and
// no handlers yet.
addin::TAddinHelper DalvoraMemberTable();

}  // namespace connection
