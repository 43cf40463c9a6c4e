// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutForm.h"

#include "core/outreach/OutreachTexts.h"
#include "core/settings/ProgramInfo.h"
#include "gui/widgets/DlgTemplate.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/PlatformServices.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QColor Navy(0x00, 0x00, 0x80);
const QColor Silver(0xC0, 0xC0, 0xC0);
constexpr int BottomHeight = 48;
constexpr int CloseHeight = 33;
constexpr QSize CloseButtonSize{106, 22};
constexpr char LogoName[] = "logo";

// The logo, drawn from its SVG at the screen's density on every paint, so it stays crisp at any
// scale and on any screen the window is moved to.
class LogoLabel : public QLabel
{
public:
    using QLabel::QLabel;

    QSize sizeHint() const override { return Icons::defaultSize(QLatin1String(LogoName)); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QSize size = Icons::defaultSize(QLatin1String(LogoName));
        const QPixmap logo = Icons::pixmap(QLatin1String(LogoName), size, devicePixelRatioF());
        QRect target(QPoint(0, 0), size);
        target.moveCenter(rect().center());
        painter.drawPixmap(target, logo);
    }
};

QFont smallNavyFont(const QFont &base)
{
    QFont font = base;
    font.setFamilies({QStringLiteral("Tahoma"), base.family()});
    font.setPixelSize(9);
    return font;
}

QFrame *makePanel(const char *name, QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::NoFrame);
    return panel;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(ProgramInfo::Name);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // The window's border: a single plain line.
    pnlMain = makePanel("pnlMain", this);
    pnlMain->setFrameStyle(QFrame::Box | QFrame::Plain);
    pnlMain->setLineWidth(1);
    QPalette border = pnlMain->palette();
    border.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    pnlMain->setPalette(border);
    root->addWidget(pnlMain);
    auto *mainLayout = new QVBoxLayout(pnlMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);

    pnlAbout = makePanel("pnlAbout", pnlMain);
    pnlAbout->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlAbout->setLineWidth(1);
    mainLayout->addWidget(pnlAbout);
    auto *aboutLayout = new QVBoxLayout(pnlAbout);
    aboutLayout->setContentsMargins(1, 1, 1, 1);
    aboutLayout->setSpacing(0);

    imgAbout = new LogoLabel(pnlAbout);
    imgAbout->setObjectName(QStringLiteral("imgAbout"));
    imgAbout->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    imgAbout->setAccessibleName(ProgramInfo::Name);
    aboutLayout->addWidget(imgAbout, 1);

    createBottomPanel(aboutLayout);
    createClosePanel(aboutLayout);

    for (QWidget *closer :
         {static_cast<QWidget *>(pnlMain), static_cast<QWidget *>(pnlAbout), static_cast<QWidget *>(imgAbout),
          static_cast<QWidget *>(pnlClose), static_cast<QWidget *>(pnlBottom), static_cast<QWidget *>(lblBottom),
          static_cast<QWidget *>(lblURL)})
        closer->installEventFilter(this);

    resize(ClientSize.expandedTo(minimumSizeHint()));
}

// The notice and the link under the logo, below a thin line.
void TfrmAbout::createBottomPanel(QVBoxLayout *aboutLayout)
{
    pnlBottom = makePanel("pnlBottom", pnlAbout);
    pnlBottom->setFixedHeight(BottomHeight);
    aboutLayout->addWidget(pnlBottom);
    auto *bottomLayout = new QVBoxLayout(pnlBottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(0);

    Shape1 = new QFrame(pnlBottom);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFixedHeight(1);
    Shape1->setAutoFillBackground(true);
    QPalette line = Shape1->palette();
    line.setColor(QPalette::Window, Silver);
    Shape1->setPalette(line);
    // Only a line: a click on it is a click on the panel behind.
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);
    bottomLayout->addWidget(Shape1);

    QPalette navy = palette();
    navy.setColor(QPalette::WindowText, Navy);
    lblBottom = new QLabel(OutreachTexts::copyrightNotice(), pnlBottom);
    lblBottom->setObjectName(QStringLiteral("lblBottom"));
    lblBottom->setAlignment(Qt::AlignCenter);
    lblBottom->setWordWrap(true);
    lblBottom->setFont(smallNavyFont(font()));
    lblBottom->setPalette(navy);
    bottomLayout->addWidget(lblBottom, 1);

    lblURL = new QLabel(ProgramInfo::WebSite, pnlBottom);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    lblURL->setAlignment(Qt::AlignCenter);
    QFont linkFont = smallNavyFont(font());
    linkFont.setUnderline(true);
    lblURL->setFont(linkFont);
    lblURL->setPalette(navy);
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->setToolTip(tr("Open link in browser"));
    bottomLayout->addWidget(lblURL);
    bottomLayout->addSpacing(3);
}

void TfrmAbout::createClosePanel(QVBoxLayout *aboutLayout)
{
    pnlClose = makePanel("pnlClose", pnlAbout);
    pnlClose->setFixedHeight(CloseHeight);
    aboutLayout->addWidget(pnlClose);
    auto *closeLayout = new QHBoxLayout(pnlClose);
    closeLayout->setContentsMargins(0, 0, 0, 0);

    btnClose = new QPushButton(Icons::icon(QStringLiteral("cancel")), tr("Close"), pnlClose);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setFlat(true);
    btnClose->setIconSize(QSize(16, 16));
    btnClose->setMinimumSize(CloseButtonSize);
    btnClose->setDefault(true);
    closeLayout->addWidget(btnClose, 0, Qt::AlignCenter);
    connect(btnClose, &QPushButton::clicked, this, &TfrmAbout::btnCloseClick);
}

void TfrmAbout::pnlMainClick()
{
    accept();
}

void TfrmAbout::FormClick()
{
    accept();
}

void TfrmAbout::btnCloseClick()
{
    accept();
}

void TfrmAbout::lblURLClick()
{
    if (!Platform::Services::instance().openUrl(QUrl(lblURL->text())))
        Platform::showError(tr("Cannot open %1").arg(lblURL->text()), this);
}

bool TfrmAbout::eventFilter(QObject *watched, QEvent *event)
{
    // A click is a left press and release over the same widget (the press grabs the mouse).
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *widget = qobject_cast<QWidget *>(watched);
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (widget && mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
            if (widget == lblURL)
                lblURLClick();
            else
                pnlMainClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        FormClick();
    else
        QDialog::mouseReleaseEvent(event);
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        centre();
    }
}

void TfrmAbout::centre()
{
    // Over the main window; on the screen while there is none.
    TDlgTemplate::centreOverMainWindow(this);
}
