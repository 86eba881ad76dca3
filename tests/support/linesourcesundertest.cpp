#include "linesourcesundertest.h"

#include "core/bundleddata.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

template<typename Predicate>
bool waitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QTest::qWait(5);
    return done();
}

} // namespace

LineSourceRun runLineSource(LineSource &source, const LineRequest &request, int timeoutMs)
{
    LineSourceRun run;
    QSignalSpy ready(&source, &LineSource::ready);
    QSignalSpy failed(&source, &LineSource::failed);
    source.prepare(request);
    waitFor([&] { return ready.count() + failed.count() > 0; }, timeoutMs);
    run.completed = ready.count() == 1;
    run.unsuccessful = failed.count() > 0;
    if (!run.completed)
        return run;
    std::unique_ptr<LineFeed> feed = source.takeFeed();
    if (!feed)
        return run;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        LineBatch batch;
        while (feed->next(batch)) {
            ++run.chunks;
            for (const LineRecord &r : batch)
                run.positions << r.wavenumber;
        }
        run.expected = feed->expectedRecordCount();
        run.feedProblem = feed->problem();
        done = true;
    });
    if (!waitFor([&] { return done.load(); }, timeoutMs))
        feed->interrupt();
    reader.join();
    return run;
}

LineSourcesUnderTest::LineSourcesUnderTest()
    : m_params(std::make_unique<Params>())
    , m_server(std::make_unique<HitranStandInServer>())
    , m_chain(std::make_unique<LineSourceChain>(BundledData::sampleLineFile()))
{
    m_server->setGlobalIds(m_params->molecules());
    m_server->setLineFile(fixture());
    m_valid = m_server->start() && m_dir.isValid() && QDir().mkpath(downloads());

    m_chain->setUserLineFilePath(userLineFile());
    m_chain->setDownloadsFolder(downloads());
    m_chain->setRecordsPerChunk(150);
    HitranOnlineDownloader &service = downloader();
    service.setServiceBaseUrl(m_server->baseUrl());
    service.setLoginUrl(m_server->baseUrl() + QStringLiteral("/login/"));
    service.setAllowInsecureLogin(true);
    service.setMolecules(&m_params->molecules());
    service.setNetworkTimeout(1500);
    connect(m_chain.get(), &LineSource::note, this, [this](const QString &, const QString &text) { notes << text; });
    connect(m_chain.get(), &LineSource::message, this,
            [this](const QString &message, double) { notifications << message; });
    connect(m_chain.get(), &LineSource::problem, this, [this](const QString &text) { dialogs << text; });
}

LineSourcesUnderTest::~LineSourcesUnderTest()
{
    // The sources go before the server they may still be talking to.
    m_chain.reset();
    m_server.reset();
}

QString LineSourcesUnderTest::fixture()
{
    return QStringLiteral(KOLVEX_TEST_DATA "/lines/standin-lines.par");
}

QStringList LineSourcesUnderTest::storedFiles() const
{
    return QDir(downloads()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

LineSourceRun LineSourcesUnderTest::calculate(double start, double end, double reach)
{
    return runLineSource(*m_chain, LineRequest::of(start, end, reach, &m_params->molecules()));
}
