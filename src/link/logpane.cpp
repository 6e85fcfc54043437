#include "vantrel.h"

#include "trafficlog.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>

void Vantrel::Log(const QString &text)
{
    // At the end, whatever the user selected or clicked in the pane: text
    // inserted at the user's cursor would replace a selection or split a line.
    QTextEdit *log = ui.textEdit;
    const QTextCursor user = log->textCursor();
    const bool selected = user.hasSelection();
    const int anchor = user.anchor();
    const int position = user.position();
    QTextDocument *document = log->document();
    const int length = document->characterCount();
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    // Each line ends with a line break: the last block is the empty one
    // being written to.
    const int lines = document->blockCount() - 1;
    if (lines > TrafficLog::MaxLines) {
        QTextCursor oldest(document);
        oldest.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                            lines - TrafficLog::KeptLines);
        oldest.removeSelectedText();
    }
    // A bare cursor at the end moves on with the text, so the pane follows
    // new lines; a selection that reached the end stays as it was made,
    // shifted by the oldest lines the pane let go.
    const QTextCursor moved = log->textCursor();
    const int dropped = length + int(text.size()) - document->characterCount();
    if (selected
        && (moved.anchor() != anchor - dropped || moved.position() != position - dropped)) {
        QTextCursor kept(document);
        kept.setPosition(qMax(0, anchor - dropped));
        kept.setPosition(qMax(0, position - dropped), QTextCursor::KeepAnchor);
        log->setTextCursor(kept);
    }
}

void Vantrel::on_clearLog_clicked()
{
    ui.textEdit->clear();
}

// What the pane holds, as it shows it; a failed save leaves any older file
// of that name as it was.
void Vantrel::SaveLog()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save log"), QDir::home().filePath(QStringLiteral("vantrel-log.txt")),
        tr("Text files (*.txt *.log);;All files (*)"));
    if (fileName.isEmpty())
        return;
    const QByteArray text = ui.textEdit->toPlainText().toUtf8();
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return;
    QMessageBox::warning(this, tr("Log not saved"),
                         tr("The log could not be saved in %1:\n%2")
                             .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}
