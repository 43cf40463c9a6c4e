// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of encrypted passwords on this machine, with N accounts (10,000 unless given): the key
// derivation as calibrated, the unlock (verifier and key), the opening of the account list with the
// passwords scrambled and encrypted (they are decrypted only when used, so the two should be close),
// turning encryption on, and a change of master password (every password encrypted again).
// Prints one figure a line; open times are medians of five.
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/AccountBook.h"
#include "core/session/VaultSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const QString kMaster = QStringLiteral("bench master password");

std::unique_ptr<AccountBook> bookIn(const QTemporaryDir &dir)
{
    auto book = std::make_unique<AccountBook>(std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()),
                                              [](const QString &, qint32) { return 0; });
    book->setDataFolder(dir.path() + u'/');
    return book;
}

double seconds(const std::function<void()> &run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return double(timer.nsecsElapsed()) / 1e9;
}

double medianOpen(const QTemporaryDir &dir)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        runs.push_back(seconds([&] {
            auto book = bookIn(dir);
            if (!book->open())
                std::fprintf(stderr, "cannot open: %s\n", qPrintable(book->table()->lastError()));
        }));
    }
    std::sort(runs.begin(), runs.end());
    return runs[2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int accounts = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    QTemporaryDir dir;
    {
        XmlDataProvider provider(AccountTable::storedFieldDefs());
        provider.setFileName(dir.filePath(QStringLiteral("main.xml")));
        provider.setReadMappingFile(dir.filePath(QStringLiteral("main_ToDp.xtr")));
        provider.setWriteMappingFile(dir.filePath(QStringLiteral("main_ToXml.xtr")));
        QList<RowValues> rows;
        for (int i = 0; i < accounts; ++i)
            rows.append({i, QStringLiteral("Site %1").arg(i), QStringLiteral("https://site%1.example/members").arg(i),
                         QString(), QStringLiteral("member%1@example.com").arg(i),
                         EncodeStr(QStringLiteral("pass-%1-word").arg(i)), 9.95, QDate(2024, 1, 2), 1});
        if (!provider.applyChanges({}, rows)) {
            std::fprintf(stderr, "cannot write the data file\n");
            return 1;
        }
    }

    Vault::Cost cost;
    const double calibrate = seconds([&] { cost = Vault::calibrate(); });
    const Vault::Params probe = Vault::create(kMaster, cost);
    const double derive = seconds([&] { VaultKey::derive(kMaster, probe); });
    std::printf("accounts: %d\n", accounts);
    std::printf("calibration_s: %.3f (ops %llu, memory %llu MiB)\n", calibrate,
                static_cast<unsigned long long>(cost.ops), static_cast<unsigned long long>(cost.memBytes >> 20));
    std::printf("derive_key_s: %.3f\n", derive);

    const double openOff = medianOpen(dir);
    std::printf("open_scrambled_s: %.3f\n", openOff);

    double turnOn = 0;
    {
        auto book = bookIn(dir);
        book->open();
        turnOn = seconds([&] {
            const Status on = book->changeVault([&](VaultSession &v) { return v.turnOn(kMaster, cost); });
            if (!on)
                std::fprintf(stderr, "turn on: %s\n", qPrintable(on.error));
        });
    }
    std::printf("turn_on_s: %.3f\n", turnOn);

    const double openOn = medianOpen(dir);
    std::printf("open_encrypted_s: %.3f\n", openOn);
    std::printf("open_ratio_encrypted_to_scrambled: %.2f\n", openOff > 0 ? openOn / openOff : 0.0);

    auto book = bookIn(dir);
    book->open();
    const double unlock = seconds([&] {
        if (!book->vault()->unlock(kMaster))
            std::fprintf(stderr, "unlock failed\n");
    });
    std::printf("unlock_s: %.3f\n", unlock);
    const double rekey = seconds([&] {
        const Status changed =
            book->changeVault([&](VaultSession &v) { return v.changePassword(QStringLiteral("next master"), cost); });
        if (!changed)
            std::fprintf(stderr, "re-key: %s\n", qPrintable(changed.error));
    });
    std::printf("rekey_s: %.3f (of which two key derivations, about %.3f)\n", rekey, 2 * derive);
    return 0;
}
