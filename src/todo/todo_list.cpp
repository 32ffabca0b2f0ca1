#include "todo/todo_list.h"

#include "base/messages.h"
#include "data/table.h"

namespace os {

const char* const kTodoRefusal = "A To Do item must have a priority and a description.";

void setupTodoTable(Table& table)
{
    table.setIndexName(QStringLiteral("IMP"));
    table.setBeforePost([](Table& t) {
        if (t.value(QStringLiteral("PRIORITY")).toString().isEmpty() ||
            t.value(QStringLiteral("DESCRIPTION")).toString().isEmpty()) {
            messages().error(QString::fromLatin1(kTodoRefusal));
            return false;
        }
        return true;
    });
}

} // namespace os
