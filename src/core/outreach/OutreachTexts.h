// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The texts of the outreach windows: the affiliate link, the tell-a-friend mail and the about window.
namespace OutreachTexts {

// The affiliate link: "%1" is the user's ClickBank ID, the leftmost label of the host name; the
// rest of the host is our vendor account at ClickBank and its link-redirect domain, fixed.
QString affiliateLinkTemplate();
// The link field holds a link that would not open at ClickBank; %1 the ID part, %2 the fixed domain.
QString affiliateLinkRefused();
// The recommendation mail: %1 the friend's name, %2 the link, %3 the user's name.
QString shareBodyTemplate();
QString shareDefaultSubject();
// No program took the mail: the dialog stays open, with the text, for another try or a copy.
QString shareNoMailProgram();
// The maker's copyright notice of the about window, two lines.
QString copyrightNotice();

} // namespace OutreachTexts
