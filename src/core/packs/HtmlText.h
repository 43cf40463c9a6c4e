// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <atomic>

class TextSink;

// The text of HTML, however broken: tags, comments, scripts and styles are dropped, entities decoded,
// and block elements (paragraphs, headings, list items, rows, breaks) end lines. A parser of our own,
// tolerant as browsers are: an unclosed tag or a stray '<' or '&' is text, never an error.
namespace HtmlText {

// The characters of an HTML file: by its byte order mark or its <meta charset>, else UTF-8 where the
// bytes are UTF-8, else Latin-1.
QString decode(QByteArrayView bytes);

// A page's head holds its title; a chapter's, the book's title again.
enum class Head { Read, Skipped };

// The white space of the text between tags. A book's chapters flow, so a run of it is one space
// there; a page is searched as the text file it is, so a phrase with one space does not find two
// spaces or a line break in it, as it would not in any other file.
enum class Spacing { Collapsed, Kept };

// Appends the text of html to sink. False when stopped by the flag.
bool extract(QStringView html, TextSink &sink, const std::atomic<bool> *stop = nullptr, Head head = Head::Read,
             Spacing spacing = Spacing::Collapsed);

// The character an entity's name stands for ("amp" -> '&'); 0 when the name is none we know.
char32_t namedEntity(QStringView name);

// True for the elements whose end ends a line of text.
bool isBlockElement(QStringView lowerName);
// True for the elements whose content is no text (scripts, styles).
bool isHiddenElement(QStringView lowerName);

} // namespace HtmlText
