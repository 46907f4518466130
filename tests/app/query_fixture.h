// Queries in the running program: the worker's execution held until the
// "実行中" dialog has shown, so that a fast query cannot end it unseen.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "app_fixture.h"
#include "tests/oracle/standin_fixture.h"

namespace apptest {

// Whether a worker waits at the stand-in's gate.
inline bool Parked() {
    auto control = reinterpret_cast<pfn_oci_standin_control>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
    char reply[256];
    return control && control("gate_wait 0", reply, sizeof reply) == 0;
}

// The next query's first execution on a worker waits at the gate; the
// "実行中" dialog opens it, then polls `then` (when given) until it is done.
inline void ExpectQuery(std::function<bool(HWND)> then = nullptr) {
    static std::thread::id ui;
    static std::atomic<bool> armed;
    ui = std::this_thread::get_id();
    armed = false;
    using oratest::Tap;
    if (g_oci.OCIStmtExecute != &Tap<&OciEntryPoints::OCIStmtExecute>::Call) oratest::g_real = g_oci;
    apptest::WaitForKeywordLoader();
    TAP(OCIStmtExecute) = [](auto...) {
        if (std::this_thread::get_id() != ui && !armed.exchange(true)) Control("gate OCIStmtExecute self");
    };
    tvtest::ExpectDialog(u"実行中", [then, released = false](HWND h) mutable {
        if (!released) {
            if (!Parked()) return false;
            released = true;
            Control("gate_open");
        }
        return !then || then(h);
    });
}

// The answers to "編集結果の保存(commit)": Yes to save, the saving's
// "実行中", Yes to look again, and the table pick taken as it stands with its
// query held until "実行中" shows.
inline void ExpectCommitAndLookAgain() {
    tvtest::AnswerBox(IDYES);
    tvtest::ExpectDialog(u"実行中", [](HWND) { return true; });
    tvtest::AnswerBox(IDYES);
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [](HWND) {
        ExpectQuery();
        tvtest::Advance(10);
        return true;
    });
}

} // namespace apptest
