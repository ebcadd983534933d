#include "tfrmabout.h"

#include "twzapplication.h"
#include "ui_about.h"

#include <QPushButton>
#include <QScreen>

TfrmAbout::TfrmAbout(QWidget *Owner)
    : QDialog(Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::frmAbout>())
{
    ui->setupUi(this);
    setFont(TwzApplication::UiFont());
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::FormCreate()
{
    const QIcon Icon = TwzApplication::Icon();
    setWindowIcon(Icon);
    ui->imgIcon->setPixmap(Icon.pixmap(32, 32));
    ui->lblProductName->setText(TwzApplication::Title());
    ui->lblVersion->setText(QStringLiteral("version %1").arg(TwzApplication::ShortVersion()));

    // Centred on the screen, as a fixed-size box.
    if (const QScreen *Screen = screen())
        move(Screen->availableGeometry().center() - rect().center());
}
