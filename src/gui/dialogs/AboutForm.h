// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The about window: the program's logo, the maker's copyright notice and a link to the program's
// web site, in a white borderless window kept on top. A click almost anywhere closes it; a click on
// the link opens the web site and leaves it open.
class TfrmAbout : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize ClientSize{286, 140};

    explicit TfrmAbout(QWidget *parent = nullptr);

    QFrame *pnlMain = nullptr;
    QFrame *pnlAbout = nullptr;
    QLabel *imgAbout = nullptr;
    QFrame *pnlBottom = nullptr;
    QFrame *Shape1 = nullptr;
    QLabel *lblBottom = nullptr;
    QLabel *lblURL = nullptr;
    QFrame *pnlClose = nullptr;
    QPushButton *btnClose = nullptr;

public Q_SLOTS:
    void pnlMainClick();
    void FormClick();
    void btnCloseClick();
    void lblURLClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createBottomPanel(QVBoxLayout *aboutLayout);
    void createClosePanel(QVBoxLayout *aboutLayout);
    void centre();

    bool m_centred = false;
};
