#include "shell/uInfo.h"

#include "shell/Controls.h"
#include "shell/uMain.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTextOption>

namespace shell {

namespace {

constexpr const char* UsageText = " USAGE\n"
                                  " o Press 'Start' to start to playing\n"
                                  " o Press 'Reset' to reset and start over";

// Six lines: a blank one, name and version, the project and its years, two
// lines about the web site and the site's address.
QString aboutText()
{
    return QStringList{
        QString(),
        QStringLiteral("%1 - %2").arg(QString::fromUtf8(AppNamePlaceholder),
                                      QString::fromUtf8(VersionPlaceholder)),
        QStringLiteral("The Tessaly project, 2025-%1").arg(QString::fromUtf8(YearPlaceholder)),
        QStringLiteral("Information, support and tips, and our other"),
        QStringLiteral("programs, are waiting for you on our web site:"),
        QString::fromUtf8(ProjectSite),
    }
        .join(QLatin1Char('\n'));
}

} // namespace

TfInfo::TfInfo(TfMain& main, platform::Clock& clock)
    : TEmbeddedWindow(main),
      clock_(clock)
{
    setObjectName(QStringLiteral("fInfo"));
    setWindowTitle(QStringLiteral("Info"));
    bClose = makeButton(this, "Close", 285, 281, 75, 25);
    mUsage = makeTextBox(this, "mUsage", 21, 17, 315, 101, bodyFont());
    mUsage->setPlainText(QString::fromUtf8(UsageText));
    mInfo = makeTextBox(this, "mInfo", 343, 17, 315, 105, bodyFont());
    mInfo->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    mInfo->setPlainText(aboutText());
    connect(bClose, &QPushButton::clicked, this, [this] { bCloseClick(); });
}

void TfInfo::FormShow()
{
    QStringList lines = mInfo->toPlainText().split(QLatin1Char('\n'));
    if (lines.size() >= 3) {
        lines[2].replace(QString::fromUtf8(YearPlaceholder),
                         QString::number(platform::yearOf(clock_.now())));
        lines[1].replace(QString::fromUtf8(AppNamePlaceholder),
                         QString::fromUtf8(ApplicationTitle));
        lines[1].replace(QString::fromUtf8(VersionPlaceholder),
                         QString::fromUtf8(ApplicationVersion));
    }
    mInfo->setPlainText(lines.join(QLatin1Char('\n')));
}

} // namespace shell
