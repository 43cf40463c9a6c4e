#pragma once

#include <QString>
#include <QStringList>

// The program's string table: field, setting and file names, and every text the program shows
// outside a window's own layout. Texts are looked up at the time of use so that a translation
// loaded at start applies.
namespace VantoryConsts {

// Field names of the account table.
inline const QString FieldAccountID = QStringLiteral("accountID");
inline const QString FieldSiteName = QStringLiteral("siteName");
inline const QString FieldSiteUrl = QStringLiteral("siteUrl");
inline const QString FieldSavePath = QStringLiteral("savePath");
inline const QString FieldUsername = QStringLiteral("username");
inline const QString FieldPassword = QStringLiteral("password");
inline const QString FieldMonthlyFee = QStringLiteral("monthlyFee");
inline const QString FieldAddedDate = QStringLiteral("addedDate");
inline const QString FieldActive = QStringLiteral("active");
inline const QString FieldTotalFiles = QStringLiteral("totalFiles");
inline const QString FieldIsActive = QStringLiteral("isActive");
inline const QString FieldIsInactive = QStringLiteral("isInactive");
inline const QString FieldActualMonthlyFee = QStringLiteral("actualMonthlyFee");

// Aggregates of the account table.
inline const QString AggMaxAccountID = QStringLiteral("MaxAccountID");
inline const QString AggSumTotalFiles = QStringLiteral("SumTotalFiles");
inline const QString AggSumMonthlyFee = QStringLiteral("SumMonthlyFee");
inline const QString AggMaxTotalFiles = QStringLiteral("MaxTotalFiles");
inline const QString AggCountActive = QStringLiteral("CountActive");
inline const QString AggCountInactive = QStringLiteral("CountInactive");

// Settings.
inline const QString SectionMain = QStringLiteral("Main");
inline const QString SettingDataPath = QStringLiteral("DataPath");
inline const QString SettingNoPromptSetPassword = QStringLiteral("NoPromptSetPassword");

// Files of the data folder.
inline const QString DataFolderName = QStringLiteral("Data");
inline const QString DataFileName = QStringLiteral("main.xml");
inline const QString ReadMappingFileName = QStringLiteral("main_ToDp.xtr");
inline const QString WriteMappingFileName = QStringLiteral("main_ToXml.xtr");

// Sort order name suffixes.
inline const QString AscendingIndexSuffix = QStringLiteral("__IdxA");
inline const QString DescendingIndexSuffix = QStringLiteral("__IdxD");

// Active states.
enum ActiveState { StateInactive = 0, StateActive = 1, StateNotApplicable = 2 };

QString appTitle();
// "Inactive", "Active", "Not Applicable", indexed by the stored value.
QStringList activeStateCaptions();
// Names of the pictures of the three states, indexed the same way.
QStringList activeStatePictures();

QString failedToInsertRecord();
QString passwordTooLong();
QString askPasswordProtect();
QString webSiteUrl();

// Totals bar and file counts.
QString totalsSites();        // "Totals: %d Site(s)"
QString totalsActive();       // "%d Active/%d Inactive"
QString totalsNotApplicable(); // "NA"

// Backup and restore.
QString backupTitle();
QString restoreTitle();
QString backupFilter();
QString backupDefaultExt();
QString backupFailed();
QString restoreFailed();

// A loaded data file holds what the next save will not keep.
QString loadNotesText();   // file, the list of what changes, then loadNotesCopy or loadNotesNoCopy
QString loadNotesCopy();   // where the copy of the file lies
QString loadNotesNoCopy(); // why no copy could be made

// Outreach: the affiliate link, the tell-a-friend mail and the about window.
// The affiliate link: "%1" is the user's ClickBank ID, the leftmost label of the host name; the
// rest of the host is our vendor account at ClickBank and its link-redirect domain, fixed.
QString affiliateLinkTemplate();
// The link field holds a link that would not open at ClickBank; %1 the ID part, %2 the fixed domain.
QString affiliateLinkRefused();
// The recommendation mail: %1 the friend's name, %2 the link, %3 the user's name.
QString shareBodyTemplate();
QString shareDefaultSubject();
// The maker's copyright notice of the about window, two lines.
QString copyrightNotice();

} // namespace VantoryConsts
