#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

#include <exception>

class QApplication;

// What the whole program shares: its title, icon, UI font, and the text rule
// of the error display.
class TwzApplication
{
public:
    // The taskbar text, the main window's first caption and the caption of
    // every message box.
    static QString Title();

    // "major.minor" of the project version, as the About dialog shows it.
    static QString ShortVersion();
    static QString Version();

    static QIcon Icon();

    // "ＭＳ Ｐゴシック" 12 px where it is installed, otherwise a Japanese
    // font that is (IPA P Gothic from the setup script, then others).
    static QFont UiFont();

    // Sets name, version, icon and font on the running application.
    static void Initialise(QApplication &Application);

    // The message as the error display shows it: a period is appended when
    // the last character sorts after "." (text ending in a letter, a digit
    // or a Japanese character), not after ".", " ", "!", ")", "-" and the like.
    static QString ErrorDisplayText(const QString &Message);
    static QString ErrorDisplayText(const std::exception &Error);
};
