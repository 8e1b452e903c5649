#include "app/user_settings.h"

#include <QCoreApplication>

QSettings userSettings() {
    // Qt files settings without an organisation name under "Unknown
    // Organization" and counts them an access error, so the program's name
    // stands in for it.
    const QString application = QCoreApplication::applicationName();
    const QString organisation = QCoreApplication::organizationName();
    return QSettings(QSettings::UserScope, organisation.isEmpty() ? application : organisation, application);
}
