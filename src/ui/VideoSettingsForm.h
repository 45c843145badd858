#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

// What the settings window's fields accept and how their text reads; the window's own transfer
// between its fields and the header and its key filter are defined with them, in VideoSettingsForm.cpp.
namespace kinetar::ui {

// A whole number in the 32-bit range; raises the error every such field reports otherwise.
std::int32_t ReadWholeNumber(const QString& text);
// Text that is no number counts as 0.
std::int32_t ReadWholeNumberOrZero(const QString& text);
// A path's folder when it is there, else the nearest folder above it that is.
QString ExistingFolderOf(const QString& path);

// Whether a typed character may reach the width or height field: a digit or a control character.
bool AcceptsNumberKey(QChar key);
// Whether a typed character may reach the rate field, whose text is `rest` without what the
// character replaces: a digit, a control character, one "." and one "/".
bool AcceptsRateKey(QChar key, const QString& rest);

}  // namespace kinetar::ui
