#pragma once

#include "base/messages.h"

namespace os::test {

// Swallows every message box, so a fuzz run is not slowed by texts nobody reads.
class SilentMessages : public MessageService
{
public:
    void info(const QString&) override {}
    void warning(const QString&) override {}
    void error(const QString&) override {}
    using MessageService::ask;
    Answer ask(const QString&, Buttons, MessageKind) override { return Answer::No; }
    void beep() override {}
};

} // namespace os::test
