// The readers of store replies take whatever the web server sends: no input
// may crash them, hang them or make them read outside the reply.
#include "sync/event_log.h"
#include "sync/protocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView reply(reinterpret_cast<const char*>(data), qsizetype(size));

    os::EventLog log;
    os::ShowStoreMessages(reply, log);
    const QString action = os::GetStoreAction(reply);
    if (action.contains(QLatin1Char('\n')))
        std::abort(); // an action word never spans lines

    static const char* const kMarkers[][2] = {
        {os::markers::OrdersStart, os::markers::OrdersEnd},
        {os::markers::AccountsStart, os::markers::AccountsEnd},
        {os::markers::NotesStart, os::markers::NotesEnd},
        {os::markers::HtmlStart, os::markers::HtmlEnd},
        {os::markers::DataIntStart, os::markers::DataIntEnd},
    };
    for (const auto& m : kMarkers) {
        const QByteArray section = os::ExtractSection(reply, m[0], m[1]);
        if (section.size() > reply.size())
            std::abort();
        const QString text = QString::fromUtf8(section);
        for (const char* sep : {"|", "^", "::"}) {
            const QStringList pieces = os::SplitFields(text, QString::fromLatin1(sep));
            // Pieces and separators make up the text again.
            if (!pieces.isEmpty() && pieces.join(QString::fromLatin1(sep)) != text)
                std::abort();
        }
    }
    return 0;
}
