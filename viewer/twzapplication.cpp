#include "twzapplication.h"

#include <QApplication>

static void InitViewerResources()
{
    // The resources are compiled into a static library, whose registration
    // the linker would otherwise drop.
    static const bool Done = [] {
        Q_INIT_RESOURCE(cmbviewer);
        return true;
    }();
    (void)Done;
}

QString TwzApplication::Title()
{
    return QStringLiteral("cmbViewer");
}

QString TwzApplication::ShortVersion()
{
    return QStringLiteral(CMBVIEWER_VERSION_SHORT);
}

QString TwzApplication::Version()
{
    return QStringLiteral(CMBVIEWER_VERSION);
}

QIcon TwzApplication::Icon()
{
    InitViewerResources();
    return QIcon(QStringLiteral(":/cmbviewer/cmbviewer.svg"));
}

QFont TwzApplication::UiFont()
{
    QFont Font;
    Font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
    Font.setPixelSize(12);
    return Font;
}

void TwzApplication::Initialise(QApplication &Application)
{
    QApplication::setApplicationName(Title());
    QApplication::setApplicationVersion(Version());
    // Matches the installed .desktop file, so the desktop shows our entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.cmbviewer.CmbViewer"));
    QApplication::setWindowIcon(Icon());
    // Menus are windows of their own and do not inherit a window's font.
    Application.setFont(UiFont());
}

QString TwzApplication::ErrorDisplayText(const QString &Message)
{
    if (!Message.isEmpty() && Message.back() > QLatin1Char('.'))
        return Message + QLatin1Char('.');
    return Message;
}

QString TwzApplication::ErrorDisplayText(const std::exception &Error)
{
    return ErrorDisplayText(QString::fromUtf8(Error.what()));
}
