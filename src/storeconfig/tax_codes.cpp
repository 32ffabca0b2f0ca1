#include "storeconfig/tax_codes.h"

#include "base/error.h"
#include "data/db_error.h"
#include "data/query.h"

namespace os {

QStringList regionalTaxCodes(const QString& dir)
{
    QStringList codes;
    Query q;
    q.setDirectory(dir);
    q.setSql(QStringLiteral("SELECT CODE from taxes.db"));
    try {
        q.open();
        while (!q.eof()) {
            codes << q.value(0).toString();
            q.next();
        }
    } catch (const DbError&) {
        // the list ends here
    }
    q.close();
    return codes;
}

} // namespace os
