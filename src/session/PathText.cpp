#include "session/PathText.h"

#include <QCollator>

namespace kinetar::session {

int CompareIgnoringCase(const QString& left, const QString& right)
{
    static const QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator.compare(left, right);
}

}  // namespace kinetar::session
