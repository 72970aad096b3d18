#pragma once

#include "support/domains.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QtGlobal>

#include <optional>

// An sRGB colour with opacity 1; the GUI turns it into its own colour type.
struct Rgb {
    quint8 red = 0;
    quint8 green = 0;
    quint8 blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The video sites Quorvin tells apart. The order of the cases is fixed: detect() tests them in
// this order, supported() keeps it, and the sites from youtube through dailymotion are the ones
// normally out of reach from mainland China.
class Platform {
public:
    enum Case : quint8 {
        channels,
        bilibili,
        douyin,
        xiaohongshu,
        weibo,
        zhihu,
        youtube,
        tiktok,
        instagram,
        twitter,
        facebook,
        reddit,
        vimeo,
        twitch,
        dailymotion,
        other,
    };

    constexpr Platform(Case value) : m_case(value) {}  // NOLINT: a Platform is its case

    constexpr Case value() const { return m_case; }
    constexpr operator Case() const { return m_case; }  // NOLINT: allows switch and ==

    QString rawValue() const;
    QString name() const;
    QString mark() const;
    QList<Rgb> colors() const;
    Rgb color() const;  // the middle entry of colors()
    bool needsVPNInChina() const;

    // Exactly the 16 raw values, case-sensitive.
    static std::optional<Platform> fromRawValue(QStringView raw);
    static const QList<Platform>& allCases();
    // allCases() without channels and other, in case order; built once.
    static const QList<Platform>& supported();

    // Never fails: unknown or host-less URLs are `other`.
    static Platform detect(const QUrl& url);
    // The link a pasted or typed text stands for: a Channels share link anywhere in the text
    // wins; otherwise the first http(s) link. nullopt when there is none.
    static std::optional<QUrl> firstURL(const QString& text);

private:
    Case m_case;
};
