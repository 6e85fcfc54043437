#include "vantrel.h"

void Vantrel::Log(const QString &text)
{
    ui.textEdit->insertPlainText(text);
}

void Vantrel::on_clearLog_clicked()
{
    ui.textEdit->clear();
}
