// SPDX-License-Identifier: GPL-3.0-or-later
// Renders every picture of resources/icons and a few sample widgets of src/controls to PNG files,
// for looking at them:  render_artwork <output folder>   (QT_QPA_PLATFORM=offscreen works).
#include "gui/widgets/DlgTemplate.h"
#include "gui/widgets/ExtDBGrid.h"
#include "gui/widgets/FlEdit.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/XPPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QDir g_out;

void save(const QPixmap &pm, const QString &name)
{
    const QString path = g_out.filePath(name + QStringLiteral(".png"));
    if (!pm.save(path))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// All icons at 16, 32 and 64 px, in rows on a light and on a dark background, and the disabled look.
void renderIconSheet()
{
    const QStringList names = Icons::names();
    const QList<int> sizes{16, 24, 32, 64};
    const int cell = 72;
    const int labelWidth = 110;
    QPixmap sheet(labelWidth + cell * (sizes.size() + 2), cell * names.size());
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    int row = 0;
    for (const QString &name : names) {
        const int y = row * cell;
        p.setPen(Qt::black);
        p.drawText(QRect(4, y, labelWidth - 8, cell), Qt::AlignVCenter | Qt::AlignLeft, name);
        const QSize natural = Icons::defaultSize(name);
        int x = labelWidth;
        for (int s : sizes) {
            const QSize size =
                natural.width() > natural.height() ? QSize(s * natural.width() / natural.height(), s) : QSize(s, s);
            if (size.width() > cell - 4) {
                x += cell;
                continue;
            }
            p.drawPixmap(x + (cell - size.width()) / 2, y + (cell - size.height()) / 2, Icons::pixmap(name, size));
            x += cell;
        }
        // On a selection-blue background, and disabled.
        p.fillRect(QRect(x, y, cell, cell), QColor(0x30, 0x8c, 0xc6));
        p.drawPixmap(x + (cell - 32) / 2, y + (cell - 32) / 2, Icons::pixmap(name, QSize(32, 32)));
        x += cell;
        p.drawPixmap(x + (cell - 32) / 2, y + (cell - 32) / 2,
                     Icons::icon(name).pixmap(QSize(32, 32), QIcon::Disabled));
        ++row;
    }
    p.end();
    save(sheet, QStringLiteral("icons-sheet"));

    // The 16 px pictures side by side, enlarged without smoothing, to judge them pixel by pixel.
    {
        QStringList small = names;
        small.removeAll(QStringLiteral("logo"));
        QPixmap row(small.size() * 20 + 4, 24);
        row.fill(Qt::white);
        QPainter rp(&row);
        for (int i = 0; i < small.size(); ++i)
            rp.drawPixmap(4 + i * 20, 4, Icons::pixmap(small.at(i), QSize(16, 16)));
        rp.end();
        save(row.scaled(row.size() * 5, Qt::IgnoreAspectRatio, Qt::FastTransformation),
             QStringLiteral("icons-16px-zoom"));
    }

    for (const QString &name : names) {
        const QSize natural = Icons::defaultSize(name);
        save(Icons::pixmap(name, natural), name + QStringLiteral("-1x"));
        save(Icons::pixmap(name, natural * 4), name + QStringLiteral("-4x"));
    }
}

class SampleDialog : public TDlgTemplate
{
public:
    SampleDialog()
    {
        setWindowTitle(QStringLiteral("Account details"));
        setClientSize(332, 313);
        auto *grid = new QGridLayout(clientArea());
        grid->setContentsMargins(19, 12, 19, 12);
        auto *site = new LabeledEdit(QStringLiteral("Site Name:"), LabeledEdit::LabelPosition::Above);
        site->setObjectName(QStringLiteral("ledSiteName"));
        site->setText(QStringLiteral("Example Membership"));
        auto *url = new LabeledEdit(QStringLiteral("Site URL:"), LabeledEdit::LabelPosition::Above);
        url->setText(QStringLiteral("http://www.example.com/members"));
        auto *user = new LabeledEdit(QStringLiteral("Username:"), LabeledEdit::LabelPosition::Above);
        auto *password = new LabeledEdit(QStringLiteral("Password:"), LabeledEdit::LabelPosition::Above);
        auto *check = new QCheckBox(QStringLiteral("Yes"));
        check->setChecked(true);
        auto *fee = new TFloatEdit;
        fee->setDigits(2);
        fee->setMaxValue(1000000);
        fee->setValue(19.95L);
        auto *state = new QComboBox;
        state->addItem(Icons::icon(QStringLiteral("state-inactive")), QStringLiteral("Inactive"));
        state->addItem(Icons::icon(QStringLiteral("state-active")), QStringLiteral("Active"));
        state->addItem(Icons::icon(QStringLiteral("state-na")), QStringLiteral("Not Applicable"));
        state->setCurrentIndex(1);
        grid->addWidget(site, 0, 0, 1, 4);
        grid->addWidget(url, 1, 0, 1, 4);
        grid->addWidget(user, 2, 0, 1, 2);
        grid->addWidget(password, 2, 2, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Monthly Fee?")), 3, 0);
        grid->addWidget(check, 3, 1);
        grid->addWidget(new QLabel(QStringLiteral("How Much?")), 3, 2);
        grid->addWidget(fee, 3, 3);
        grid->addWidget(new QLabel(QStringLiteral("Active?")), 4, 0);
        grid->addWidget(state, 4, 1, 1, 2);
        grid->setRowStretch(5, 1);
    }
};

void renderWidgets()
{
    {
        SampleDialog dialog;
        dialog.show();
        QApplication::processEvents();
        save(dialog.grab(), QStringLiteral("dialog-sample"));
    }
    {
        TDlgTemplate dialog;
        dialog.setWindowTitle(QStringLiteral("Make Money"));
        dialog.setClientSize(241, 228);
        dialog.makeOkTheCancelButton();
        dialog.show();
        QApplication::processEvents();
        save(dialog.grab(), QStringLiteral("dialog-ok-as-cancel"));
    }
    {
        TDlgTemplate dialog;
        dialog.show();
        QApplication::processEvents();
        save(dialog.grab(), QStringLiteral("dialog-template-default"));
    }
    {
        QWidget w;
        auto *layout = new QVBoxLayout(&w);
        const QList<double> values{0.0, 19.95, 1000000.0};
        for (double v : values) {
            auto *edit = new TFloatEdit(&w);
            edit->setDigits(2);
            edit->setMaxValue(1000000);
            edit->setValue(v);
            layout->addWidget(edit);
        }
        w.resize(160, w.sizeHint().height());
        w.show();
        QApplication::processEvents();
        save(w.grab(), QStringLiteral("floatedit"));
    }
    {
        QWidget w;
        auto *layout = new QVBoxLayout(&w);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        const AccountsCaptionBar bar = createAccountsCaptionBar(&w);
        layout->addWidget(bar.pnlAccounts);
        auto *grid = new TExtDBGrid(&w);
        grid->setBackgroundBitmap(TExtDBGrid::stripedTile());
        grid->setDefaultRowHeight(19);
        auto *model = new QStandardItemModel(0, 3, &w);
        model->setHorizontalHeaderLabels(
            {QStringLiteral("Site"), QStringLiteral("Total Files"), QStringLiteral("Monthly Fee")});
        const QStringList sites{QStringLiteral("Alpha PLR"), QStringLiteral("Beta Articles"),
                                QStringLiteral("Gamma E-Books")};
        for (const QString &s : sites)
            model->appendRow({new QStandardItem(s), new QStandardItem(QStringLiteral("(12)  ")),
                              new QStandardItem(QStringLiteral("$9.95"))});
        grid->setModel(model);
        grid->selectRow(1);
        layout->addWidget(grid);
        w.resize(420, 220);
        w.show();
        QApplication::processEvents();
        save(w.grab(), QStringLiteral("grid-and-caption"));

        for (int i = 0; i < 12; ++i)
            model->appendRow({new QStandardItem(QStringLiteral("Site %1").arg(i + 4))});
        QApplication::processEvents();
        save(w.grab(), QStringLiteral("grid-many-rows"));
    }
    {
        QWidget w;
        auto *layout = new QVBoxLayout(&w);
        layout->addWidget(new LabeledEdit(QStringLiteral("Site Name:"), LabeledEdit::LabelPosition::Above));
        layout->addWidget(new LabeledEdit(QStringLiteral("Old Password:"), LabeledEdit::LabelPosition::Left));
        w.resize(260, w.sizeHint().height());
        w.show();
        QApplication::processEvents();
        save(w.grab(), QStringLiteral("labelededit"));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render_artwork <output folder>\n");
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    g_out.mkpath(QStringLiteral("."));
    renderIconSheet();
    renderWidgets();
    return 0;
}
