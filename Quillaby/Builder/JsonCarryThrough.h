#pragma once

#include <QJsonValue>

namespace Quillaby {

// Writes an edited document back over the file it was opened from, keeping what the edit did not touch.
//
// original: the value in the file; baseline: what the editor would have written right after opening it;
// current: what it would write now (an undefined value means "absent" for each). Where baseline and
// current agree, the edit left that value alone and the file's own text is kept, absence included, so
// members the editor does not know, and values it would round or spell differently, survive. Where they
// differ the current value is taken; when both the file and the current value are objects the rule
// applies member by member, so unknown members beside an edited one survive too. A value the edit
// removes is removed whole.
QJsonValue carryThrough(const QJsonValue& original, const QJsonValue& baseline, const QJsonValue& current);

} // namespace Quillaby
