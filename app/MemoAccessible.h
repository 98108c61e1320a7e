#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace qb {

// The editor as a screen reader reads it: its text with each byte drawn as a box given as "hex 0D " (the hex the box
// shows), so a reader never gets a control character, while every other character is the editor's own. Offsets are
// those of that text; the editor's caret and selection are mapped onto it.
QAccessibleInterface* memoAccessible(const QString& className, QObject* object);

} // namespace qb
