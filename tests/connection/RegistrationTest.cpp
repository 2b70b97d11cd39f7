#include "addin/DllRegistration.h"

#include <gtest/gtest.h>

#include "platform/os/Registry.h"

namespace addin {
namespace {

const CLSID kTestClass = {
    0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TInprocServerEntry TestEntry() {
  return {kTestClass, "AddIn.RegistrationProbe", "IC V7 AddIn 2.0", "Apartment"};
}

std::string Unchanged(const std::string& path) {
  return path;
}

TEST(Registration, GuidTextIsBracedUpperCase) {
  EXPECT_EQ(GuidText(kTestClass), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_EQ(ClassKey(kTestClass), "CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}");
}

TEST(Registration, WritesClassAndProgIdKeysAndRemovesThemAgain) {
  const std::string classKey = ClassKey(kTestClass);
  ASSERT_EQ(RegisterInprocServer(TestEntry(), "/opt/orbelin/orbelin.so", Unchanged), S_OK);

  EXPECT_EQ(platform::RegistryGetString(classKey, ""), "IC V7 AddIn 2.0");
  EXPECT_EQ(platform::RegistryGetString(classKey + "\\InprocServer32", ""),
            "/opt/orbelin/orbelin.so");
  EXPECT_EQ(platform::RegistryGetString(classKey + "\\InprocServer32", "ThreadingModel"),
            "Apartment");
  EXPECT_EQ(platform::RegistryGetString(classKey + "\\ProgID", ""), "AddIn.RegistrationProbe");
  EXPECT_EQ(platform::RegistryGetString("AddIn.RegistrationProbe", ""), "IC V7 AddIn 2.0");
  // Key names are case-insensitive, as in the registry itself.
  EXPECT_EQ(platform::RegistryGetString("addin.registrationprobe\\CLSID", ""),
            GuidText(kTestClass));

  ASSERT_EQ(UnregisterInprocServer(TestEntry()), S_OK);
  for (const std::string& key :
       {classKey + "\\ProgID", classKey + "\\InprocServer32", classKey,
        std::string("AddIn.RegistrationProbe\\Clsid"), std::string("AddIn.RegistrationProbe")}) {
    EXPECT_FALSE(platform::RegistryKeyExists(key)) << key;
  }
  // Nothing left to remove is no failure.
  EXPECT_EQ(UnregisterInprocServer(TestEntry()), S_OK);
}

TEST(Registration, PathWithABlankIsRegisteredInItsShortForm) {
  int shortened = 0;
  auto shortPath = [&](const std::string&) {
    ++shortened;
    return std::string("C:\\PROGRA~1\\ORBELIN.DLL");
  };
  const std::string serverKey = ClassKey(kTestClass) + "\\InprocServer32";

  ASSERT_EQ(RegisterInprocServer(TestEntry(), "C:\\Program Files\\orbelin.dll", shortPath), S_OK);
  EXPECT_EQ(platform::RegistryGetString(serverKey, ""), "C:\\PROGRA~1\\ORBELIN.DLL");
  ASSERT_EQ(RegisterInprocServer(TestEntry(), "C:\\Addins\\orbelin.dll", shortPath), S_OK);
  EXPECT_EQ(platform::RegistryGetString(serverKey, ""), "C:\\Addins\\orbelin.dll");
  EXPECT_EQ(shortened, 1);
  EXPECT_EQ(UnregisterInprocServer(TestEntry()), S_OK);
}

TEST(Registration, FailsWithoutAModulePath) {
  EXPECT_EQ(RegisterInprocServer(TestEntry(), "", Unchanged), E_FAIL);
  EXPECT_FALSE(platform::RegistryKeyExists(ClassKey(kTestClass)));
}

TEST(Registration, UnregisterFailsWhenAKeyCannotBeRemoved) {
  ASSERT_EQ(RegisterInprocServer(TestEntry(), "/x/orbelin.so", Unchanged), S_OK);
  // A foreign subkey keeps the class key from being deleted.
  ASSERT_TRUE(platform::RegistrySetString(ClassKey(kTestClass) + "\\TypeLib", "", "x"));
  EXPECT_EQ(UnregisterInprocServer(TestEntry()), E_FAIL);
  EXPECT_FALSE(platform::RegistryKeyExists("AddIn.RegistrationProbe"));
  ASSERT_TRUE(platform::RegistryDeleteKey(ClassKey(kTestClass) + "\\TypeLib"));
  EXPECT_EQ(UnregisterInprocServer(TestEntry()), S_OK);
}

}  // namespace
}  // namespace addin
