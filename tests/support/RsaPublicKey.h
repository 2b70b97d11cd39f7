#pragma once
// A 2048-bit RSA public key as servers send it, for tests that only need
// something to encrypt with (the private half was not kept).

#include <string_view>

inline constexpr std::string_view kServerPublicKeyPem =
    "-----BEGIN PUBLIC KEY-----\n"
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAjXKm3dP/+pzwjZDxcbQB\n"
    "dZoidzb0ypQqtm+keAwRMq5Ngl9eKOuT4ZtzoDIek3w7kJ23I2fpiEmpn8VGhWaN\n"
    "oiaMctixHstGFYA3XJzQ9yKRErA7YFvjraSX0PCRrWcrxSxgc2DjNq1me/Ha8lj/\n"
    "N3KozsS9hN0EDCRyO/fBjZLxScNt9/S9u6xGFdIaWJPpCIwsEvynsMsr5B0cA19S\n"
    "15QbzedUE68KcROkFcQcBLxDX6nHNyD3mNkNo7TZLa0VRCi20xrmGqjSGMCCXYdi\n"
    "I5pDKUkA/mk3Bk5SNoVSY74m1tne9gR7i2ojxAhh2/yuGG4+osuF1reDGxhW5Ox5\n"
    "FQIDAQAB\n"
    "-----END PUBLIC KEY-----\n";
