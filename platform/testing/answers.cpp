#include "answers.h"

#include <algorithm>
#include <deque>

#include <gtest/gtest.h>

namespace tvtest::answers {

namespace {
std::deque<Answer>& Q() {
    static std::deque<Answer> q;
    return q;
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
    Q().push_back(std::move(answer));
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
