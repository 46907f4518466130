// Cases against the client stand-in: the Oracle layer's fixture with the
// stand-in loaded before each case and the "DEMO" service beside "TEST".
#pragma once

#include "tests/oracle/standin_fixture.h"

namespace edtest {

namespace fs = std::filesystem;

using oratest::g_on_wait;
using oratest::g_real;
using oratest::Narrow;

class StandinTest : public oratest::StandinTest {
public:
    void SetUp() override {
        oratest::StandinTest::SetUp();
        std::ofstream(home / "tns" / "services.conf") << "TEST = ../db/test\nDEMO = ../db/demo\n";
        ASSERT_NO_FATAL_FAILURE(Load());
    }
    // A session through the OCI 8 calls, kept in sessions.
    OraSession* Logon(const char16_t* user, const char16_t* password, const char16_t* service) {
        g_use_oci7_api = 0;
        OraSession* s = nullptr;
        CString m;
        EXPECT_EQ(oci_login2(&s, user, password, service, nullptr, 0, &m, nullptr), ORARC_OK) << Narrow(m);
        if (s) sessions.push_back(s);
        return s;
    }
};

} // namespace edtest
