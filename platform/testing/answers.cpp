#include "answers.h"

#include <algorithm>
#include <deque>
#include <vector>

#include <gtest/gtest.h>

namespace tvtest::answers {

namespace {
std::deque<Answer>& Q() {
    static std::deque<Answer> q;
    return q;
}
// Where each running callback puts what it queues: the count it has put
// ahead of the answers queued before it, innermost last.
std::vector<size_t>& Ahead() {
    static std::vector<size_t> v;
    return v;
}
} // namespace

std::string Describe(const Answer& a) {
    switch (a.kind) {
    case Kind::Box:
        return a.boxPoll ? "a message-box answer (polled)" : "message-box answer " + std::to_string(a.boxId);
    case Kind::Dialog:
        return a.templateId ? "dialog template " + std::to_string(a.templateId)
                            : "dialog \"" + WideToUtf8(a.caption.c_str()) + "\"";
    case Kind::File:
        return a.path.empty() ? "a cancelled file dialog"
                              : "file dialog answer \"" + WideToUtf8(a.path.c_str()) + "\"";
    case Kind::Folder:
        return a.path.empty() ? "a cancelled folder browser"
                              : "folder answer \"" + WideToUtf8(a.path.c_str()) + "\"";
    case Kind::Color: return "a colour dialog answer";
    case Kind::Font: return "a font dialog answer";
    }
    return "an answer";
}

void Queue(Answer answer) {
    if (Ahead().empty()) {
        Q().push_back(std::move(answer));
        return;
    }
    size_t& at = Ahead().back();
    Q().insert(Q().begin() + std::ptrdiff_t(std::min(at, Q().size())), std::move(answer));
    ++at;
    // Outer callbacks' answers now stand one further back.
    for (size_t i = 0; i + 1 < Ahead().size(); ++i) ++Ahead()[i];
}

Nested::Nested() {
    Ahead().push_back(0);
}
Nested::~Nested() {
    Ahead().pop_back();
}

std::optional<Answer> Take(Kind kind, const std::string& asked,
                           const std::function<bool(const Answer&)>& fits) {
    if (Q().empty()) {
        ADD_FAILURE() << "unanswered " << asked << ": nothing is queued";
        return std::nullopt;
    }
    const Answer& front = Q().front();
    if (front.kind != kind || (fits && !fits(front))) {
        ADD_FAILURE() << "out of order: the program asked for " << asked << ", the next queued is "
                      << Describe(front);
        return std::nullopt;
    }
    Answer a = std::move(Q().front());
    Q().pop_front();
    for (size_t& at : Ahead())
        if (at) --at;
    return a;
}

std::vector<Answer> Drop(Kind kind) {
    std::vector<Answer> dropped;
    for (auto it = Q().begin(); it != Q().end();) {
        if (it->kind == kind) {
            dropped.push_back(std::move(*it));
            it = Q().erase(it);
        } else {
            ++it;
        }
    }
    return dropped;
}

size_t Count(Kind kind) {
    return size_t(std::count_if(Q().begin(), Q().end(), [&](const Answer& a) { return a.kind == kind; }));
}

} // namespace tvtest::answers
