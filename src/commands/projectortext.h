#pragma once

#include <QByteArray>
#include <QString>

// Text a projector sends (its name, maker, model, input names) is shown as
// plain text only: it could otherwise carry markup that paints or loads
// files, control bytes that break the log, or direction overrides that make
// a line read as something else.
namespace ProjectorText {

// Longer than any text the standards allow (NAME: 64 characters).
constexpr int MaxLength = 64;

// The bytes as UTF-8, without control characters and bidirectional
// embeddings, overrides and isolates, cut to maxLength characters with "…"
// when longer.
QString plain(const QByteArray &bytes, int maxLength = MaxLength);
QString plain(const QString &text, int maxLength = MaxLength);

// A tooltip showing text as it stands, line breaks kept: a tooltip that
// looks like markup is shown as rich text, so a stored or received name
// such as <img src="FILE"> would otherwise load that file. Empty for empty.
QString toolTip(const QString &text);

} // namespace ProjectorText
