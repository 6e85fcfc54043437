#include "vantrel.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

void Vantrel::Log(const QString &text)
{
    ui.textEdit->insertPlainText(text);
}

void Vantrel::on_clearLog_clicked()
{
    ui.textEdit->clear();
}

// What the pane holds, as it shows it; a failed save leaves any older file
// of that name as it was.
void Vantrel::on_actionSaveLog_triggered()
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
