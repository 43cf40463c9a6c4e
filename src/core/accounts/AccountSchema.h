// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The account table's schema as the data file holds it: the field names (which are also the element
// names of a row's values), their sizes, the element names of the document and of a row, the files of
// the data folder, and the names of the aggregates and sort orders kept over the table.
namespace AccountSchema {

// Stored fields.
inline const QString FieldAccountID = QStringLiteral("accountID");
inline const QString FieldSiteName = QStringLiteral("siteName");
inline const QString FieldSiteUrl = QStringLiteral("siteUrl");
inline const QString FieldSavePath = QStringLiteral("savePath");
inline const QString FieldUsername = QStringLiteral("username");
inline const QString FieldPassword = QStringLiteral("password");
inline const QString FieldMonthlyFee = QStringLiteral("monthlyFee");
inline const QString FieldAddedDate = QStringLiteral("addedDate");
inline const QString FieldActive = QStringLiteral("active");
// Computed fields, kept with each row and never stored.
inline const QString FieldTotalFiles = QStringLiteral("totalFiles");
inline const QString FieldIsActive = QStringLiteral("isActive");
inline const QString FieldIsInactive = QStringLiteral("isInactive");
inline const QString FieldActualMonthlyFee = QStringLiteral("actualMonthlyFee");

// Sizes of the text fields, in characters.
constexpr int PathFieldSize = 260; // site name, URL and save folder
constexpr int LoginFieldSize = 80; // username and scrambled password
// An encrypted password starts with this marker and may be longer: up to 40 characters of three
// UTF-8 bytes each, with the nonce and tag, in base64. The longer size holds for every password that
// starts with "$", which no scrambled text does, so that one whose marker was changed is still kept
// whole.
inline const QString SealedPasswordPrefix = QStringLiteral("$vv1$");
inline const QString SealedPasswordLead = QStringLiteral("$");
constexpr int SealedPasswordFieldSize = 224;

// The states of an account, as stored in its "active" field.
enum ActiveState
{
    StateInactive = 0,
    StateActive = 1,
    StateNotApplicable = 2
};

// Aggregates of the account table.
inline const QString AggMaxAccountID = QStringLiteral("MaxAccountID");
inline const QString AggSumTotalFiles = QStringLiteral("SumTotalFiles");
inline const QString AggSumMonthlyFee = QStringLiteral("SumMonthlyFee");
inline const QString AggMaxTotalFiles = QStringLiteral("MaxTotalFiles");
inline const QString AggCountActive = QStringLiteral("CountActive");
inline const QString AggCountInactive = QStringLiteral("CountInactive");

// A field's sort orders are named after it with one of these suffixes.
inline const QString AscendingIndexSuffix = QStringLiteral("__IdxA");
inline const QString DescendingIndexSuffix = QStringLiteral("__IdxD");

// Elements of the data file and of its mapping files.
inline const QString MappingElement = QStringLiteral("VantoryMapping");
inline const QString DocumentElement = QStringLiteral("Accounts");
inline const QString RowElement = QStringLiteral("Account");
// The vault's parameters (salt, cost, verifier) as attributes of one empty element beside the accounts,
// so that a data file, or a copy of it, opens with the master password alone.
inline const QString VaultElement = QStringLiteral("Vault");

// Files of the data folder.
inline const QString DataFileName = QStringLiteral("main.xml");
inline const QString ReadMappingFileName = QStringLiteral("main_ToDp.xtr");
inline const QString WriteMappingFileName = QStringLiteral("main_ToXml.xtr");

} // namespace AccountSchema
