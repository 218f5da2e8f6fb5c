#pragma once
// The application title: the caption of the plain message boxes (those without an icon).
// It is the main window's default caption until the login window reads another from
// Create_Form_Caption of Company_Info.ini.

#include <QString>

namespace smsc {

// "Zorvane企业短信群发专家"
QString DefaultApplicationTitle();

QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

}  // namespace smsc
