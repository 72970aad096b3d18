#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Finds web links in free text, the way people paste share texts: links with a scheme, "www."
// links and bare hosts of common top-level domains (reported with "http://").
//
// Share texts glue Chinese to links ("…/iRNBkVxx/复制此链接", "b23.tv/TgEIXkw。打扰了"), so a
// link ends at white space, at CJK characters and full-width punctuation, at an unbalanced
// closing bracket, and loses trailing . , ; : ! ? ' characters. One pass, linear in the text.
namespace LinkDetector {

struct Match {
    qsizetype start = 0;   // UTF-16 offset in the text
    qsizetype length = 0;  // UTF-16 units of the matched text
    QUrl url;
};

// Every link in text order, whatever its scheme (mail addresses are not links here).
QList<Match> findAll(QStringView text);

// The characters examined while finding every link of `text`, all scans counted: a measure of
// the work that stays proportional to the text whatever it holds.
qsizetype scanSteps(QStringView text);

// The first link whose scheme is http or https.
std::optional<QUrl> firstWebLink(QStringView text);

}  // namespace LinkDetector
