// SPDX-License-Identifier: GPL-3.0-or-later
// Generates a data file of N accounts, loads it into the account table and writes it back.
// Prints load_ms, write_ms and peak_rss_mb (medians of five), and first_load_ms, the first load of the process.
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/FileCount.h"
#include "core/datafile/XmlDataProvider.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

static double peakRssMb()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
#ifdef Q_OS_DARWIN
    return usage.ru_maxrss / (1024.0 * 1024.0);
#else
    return usage.ru_maxrss / 1024.0;
#endif
#else
    return 0;
#endif
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("KEEP"));
    const QString path = dir.filePath(QStringLiteral("main.xml"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
        for (int i = 0; i < n; ++i) {
            xml += QStringLiteral("  <Account>\n    <accountID>%1</accountID>\n    <siteName>Membership Site %1 Ünïcode</siteName>\n"
                                  "    <siteUrl>https://members.example.com/site/%1</siteUrl>\n"
                                  "    <savePath>%2/missing-%1</savePath>\n    <username>member%1@example.com</username>\n"
                                  "    <password>2A3B2C3D2E3F2G3H</password>\n    <monthlyFee>%3</monthlyFee>\n"
                                  "    <addedDate>2024-%4-%5</addedDate>\n    <active>%6</active>\n  </Account>\n")
                       .arg(i)
                       .arg(dir.path())
                       .arg(9.95 + i % 50)
                       .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                       .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                       .arg(i % 3)
                       .toUtf8();
        }
        xml += "</Accounts>\n";
        f.write(xml);
    }

    XmlDataProvider provider(AccountTable::storedFieldDefs());
    provider.setFileName(path);
    provider.setReadMappingFile(dir.filePath(QStringLiteral("main_ToDp.xtr")));
    provider.setWriteMappingFile(dir.filePath(QStringLiteral("main_ToXml.xtr")));
    DataSet table;
    AccountTable::define(table);
    table.setProvider(&provider);
    table.onNewRecord = [](DataSet &t) { AccountTable::initNewRecord(t); };
    table.onCalcFields = [](DataSet &t) { AccountTable::calcFields(t, &CountFiles); };

    // The first load of a process pays for its memory; later ones (Refresh, Restore) do not.
    QElapsedTimer timer;
    std::vector<double> loads;
    for (int i = 0; i < 5; ++i) {
        table.close();
        timer.start();
        if (!table.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(table.lastError()));
            return 1;
        }
        loads.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double firstLoadMs = loads.front();
    std::sort(loads.begin(), loads.end());
    const double loadMs = loads[loads.size() / 2];
    if (table.recordCount() != n)
        return 1;

    // Each post of the program rewrites the file once; time a few and take the median.
    std::vector<double> writes;
    for (int i = 0; i < 5; ++i) {
        table.setRecNo(1 + (n / 2 + i) % n);
        table.edit();
        table.setValue(QStringLiteral("siteName"), QStringLiteral("Changed %1").arg(i));
        table.post();
        timer.restart();
        if (!table.applyUpdates(0)) {
            std::fprintf(stderr, "%s\n", qPrintable(table.lastError()));
            return 1;
        }
        writes.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(writes.begin(), writes.end());
    const double writeMs = writes[writes.size() / 2];

    std::printf("load_ms=%.1f\nwrite_ms=%.1f\npeak_rss_mb=%.1f\nfirst_load_ms=%.1f\n", loadMs, writeMs, peakRssMb(),
                firstLoadMs);
    return 0;
}
