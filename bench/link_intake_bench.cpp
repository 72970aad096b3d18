// How fast Quorvin finds the link in a pasted text (it runs on every change of the input field)
// and tells its platform. Sizes double so the report shows whether time grows linearly.

#include "core/platform.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

// A share text of mixed Chinese and ASCII without any link, repeated to the requested size.
QString pastedText(qsizetype bytes, const QString& tail) {
    const QString chunk = QStringLiteral(
        "6.17 jCu:/ 复制打开抖音，看看【兔丸儿的作品】速速换上溪哥专属壁纸 readme.md v1.2.3 "
        "mail me: someone@example 还有一些 ASCII words, numbers 12.34 and (brackets) ");
    const qsizetype chunkBytes = chunk.toUtf8().size();
    const qsizetype wanted = bytes - tail.toUtf8().size();
    QString text;
    for (qsizetype size = 0; size + chunkBytes <= wanted; size += chunkBytes) text += chunk;
    return text + tail;
}

void firstURLLinkAtTheEnd(benchmark::State& state) {
    const QString text =
        pastedText(state.range(0), QStringLiteral(" https://v.douyin.com/MuEswcb/"));
    for (auto _ : state) benchmark::DoNotOptimize(Platform::firstURL(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(firstURLLinkAtTheEnd)
    ->RangeMultiplier(4)
    ->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void firstURLNoLink(benchmark::State& state) {
    const QString text = pastedText(state.range(0), QString());
    for (auto _ : state) benchmark::DoNotOptimize(Platform::firstURL(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(firstURLNoLink)
    ->RangeMultiplier(4)
    ->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void firstURLAsciiLinkSoup(benchmark::State& state) {
    // Many links of other schemes and mail addresses before the first web link.
    QString text;
    while (text.size() < state.range(0) - 40) text += QStringLiteral("ftp://a.example/x a@b.com ");
    text += QStringLiteral("https://b23.tv/TgEIXkw");
    for (auto _ : state) benchmark::DoNotOptimize(Platform::firstURL(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(firstURLAsciiLinkSoup)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// Text shaped to defeat the scanner: rejected "://" runs, hosts with impossible ports, open
// brackets, mail-like runs. Each must stay linear: 4 MiB well under 100 ms.
void firstURLHostile(benchmark::State& state) {
    static const QString units[] = {
        QStringLiteral("http:///"),        QStringLiteral("http://"),
        QStringLiteral("a://a:"),          QStringLiteral("http://a.com:99999/("),
        QStringLiteral("a.com:99999/,"),   QStringLiteral("x.com@"),
        QStringLiteral("https://a.com/("), QStringLiteral("ab.cd.ef.gh."),
    };
    const QString& unit = units[state.range(0)];
    // 4 Mi characters: 4 MiB as pasted (ASCII in UTF-8).
    const QString text = unit.repeated((qsizetype(4) << 20) / unit.size());
    state.SetLabel(unit.toStdString());
    for (auto _ : state) benchmark::DoNotOptimize(Platform::firstURL(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(firstURLHostile)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

void detectPerCall(benchmark::State& state) {
    const QUrl urls[] = {
        QUrl(QStringLiteral("https://v.douyin.com/MuEswcb/")),
        QUrl(QStringLiteral("https://www.dailymotion.com/video/x1")),
        QUrl(QStringLiteral("https://weixin.qq.com/sph/AbC")),
        QUrl(QStringLiteral("https://example.org/video.mp4")),
    };
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(Platform::detect(urls[i++ % 4]));
}
BENCHMARK(detectPerCall);

}  // namespace

BENCHMARK_MAIN();
