#pragma once

#include <QList>
#include <QString>

// The reasons the system gives for a failed file operation, as the program
// reports them, in English and German: the one table of them, and the
// messages around them ("Cannot write file '%1': %2").
namespace ZLT_Reasons {

// Reasons that are no errno value of the system.
constexpr int NotRegularFile = -1;

// The reason's text in a column of the table: 0 English, 1 German. A reason
// the table does not hold reads as the system's own text.
QString Text(int reason, int column);

// The reason whose English text is text, as Qt's and the system's messages
// give it; 0 when the table holds none.
int FromText(const QString& text);

// Every reason of the table, in table order.
QList<int> All();

} // namespace ZLT_Reasons
