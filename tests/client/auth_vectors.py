#!/usr/bin/env python3
"""Prints the expected scrambles of auth_vectors.h, computed with hashlib
rather than by the code under test:

    tests/client/auth_vectors.py > tests/client/auth_vectors.h
"""

import hashlib


def sha1(*parts):
    return hashlib.sha1(b"".join(parts)).digest()


def sha256(*parts):
    return hashlib.sha256(b"".join(parts)).digest()


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def caching_sha2(nonce, password):
    stage1 = sha256(password)
    return xor(stage1, sha256(sha256(stage1), nonce))


def native(nonce, password):
    stage1 = sha1(password)
    return xor(stage1, sha1(nonce, sha1(stage1)))


VECTORS = [
    ("kSha2GreetingPw", caching_sha2, b"abcdefghijklmnopqrst", b"pw"),
    ("kSha2SwitchNewPw", caching_sha2, b"ABCDEFGHIJKLMNOPQRST", b"new-pw"),
    ("kSha2GreetingNewPw", caching_sha2, b"abcdefghijklmnopqrst", b"new-pw"),
    ("kNativeSwitchPw", native, b"ABCDEFGHIJKLMNOPQRST", b"pw"),
    ("kNativeGreetingPw", native, b"abcdefghijklmnopqrst", b"pw"),
]

print("#pragma once")
print("// Written by auth_vectors.py (hashlib): the scrambles the fake-server tests")
print("// expect, computed independently of the client.")
print()
print('#include "support/scripted_stream.h"')
print()
for name, scramble, nonce, password in VECTORS:
    print(f"// {scramble.__name__} of \"{password.decode()}\" with the nonce \"{nonce.decode()}\"")
    digest = scramble(nonce, password)
    rows = [", ".join(f"0x{b:02X}" for b in digest[i:i + 10]) for i in range(0, len(digest), 10)]
    print(f"inline const Bytes {name} = {{")
    for row in rows:
        print(f"    {row},")
    print("};")
