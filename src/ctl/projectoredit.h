#pragma once

#include "invocation.h"
#include "report.h"

// projector list, add and remove: the stored list of named projectors, the
// one the window's settings edit. Nothing is sent to any projector.
class ProjectorEdit
{
public:
    ProjectorEdit(const Invocation &invocation, Report &report);

    int run(); // the exit code

private:
    int list();
    int add();
    int remove();
    int save(const class ProjectorList &projectors);
    int cannotSave(const QString &why);
    bool readable(const class ProjectorList &projectors);

    const Invocation &invocation;
    Report &report;
};
