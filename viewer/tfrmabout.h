#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

// The About dialog: icon, product name, version. It holds no state and is
// built anew for every showing.
class TfrmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget *Owner = nullptr);
    ~TfrmAbout() override;

private:
    void FormCreate();

    std::unique_ptr<Ui::frmAbout> ui;
};
