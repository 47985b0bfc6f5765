#include "http/HttpHeadParser.h"
#include "support/TestMain.h"

// Request heads as a hostile or sloppy peer sends them: each must be read
// exactly one way, or refused with the status the connection answers with.
class TestHttpHeadParser : public QObject {
    Q_OBJECT

private slots:
    void refusedHeads_data();
    void refusedHeads();
    void acceptedHeads_data();
    void acceptedHeads();
    void headersKeepOrderAndTrimOnlyWhitespace();
    void headLimits_data();
    void headLimits();
};

namespace {

constexpr qint64 kMaxHead = 16 * 1024;

QByteArray head(const QByteArray &requestLine, const QByteArray &headers = "Host: 127.0.0.1")
{
    return headers.isEmpty() ? requestLine : requestLine + "\r\n" + headers;
}

QByteArray withLength(const QByteArray &lengths)
{
    return head("POST /api/sessions HTTP/1.1", "Host: 127.0.0.1\r\n" + lengths);
}

int statusOf(const HttpHeadParser::Result &result)
{
    const auto *error = std::get_if<HttpHeadParser::Error>(&result);
    return error ? error->status : 0;
}

QByteArray manyHeaders(int count)
{
    QByteArray lines = "Host: 127.0.0.1";
    for (int i = 1; i < count; ++i)
        lines += "\r\nX-H" + QByteArray::number(i) + ": v";
    return head("GET / HTTP/1.1", lines);
}

} // namespace

void TestHttpHeadParser::refusedHeads_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("status");

    // Request lines.
    QTest::newRow("empty") << QByteArray() << 400;
    QTest::newRow("two spaces") << head("GET  / HTTP/1.1") << 400;
    QTest::newRow("leading space") << head(" GET / HTTP/1.1") << 400;
    QTest::newRow("trailing space") << head("GET / HTTP/1.1 ") << 400;
    QTest::newRow("tab separator") << head("GET\t/ HTTP/1.1") << 400;
    QTest::newRow("no version") << head("GET /") << 400;
    QTest::newRow("extra word") << head("GET / HTTP/1.1 x") << 400;
    QTest::newRow("method not a token") << head("GE(T / HTTP/1.1") << 400;
    QTest::newRow("method empty") << head(" / HTTP/1.1") << 400;
    QTest::newRow("relative target") << head("GET api/health HTTP/1.1") << 400;
    QTest::newRow("absolute target") << head("GET https://127.0.0.1/ HTTP/1.1") << 400;
    QTest::newRow("asterisk target") << head("OPTIONS * HTTP/1.1") << 400;
    QTest::newRow("control in target") << head("GET /a\x01z HTTP/1.1") << 400;
    QTest::newRow("NUL in target") << head(QByteArray("GET /a\0z HTTP/1.1", 17)) << 400;
    QTest::newRow("DEL in target") << head("GET /a\x7fz HTTP/1.1") << 400;
    QTest::newRow("high byte in target") << head("GET /r\xc3\xa9sum\xc3\xa9 HTTP/1.1") << 400;
    QTest::newRow("encoded NUL in path") << head("GET /api/health%00.pdf HTTP/1.1") << 400;
    QTest::newRow("encoded CRLF in path") << head("GET /a%0d%0aSet-Cookie:x HTTP/1.1") << 400;
    QTest::newRow("lower-case version") << head("GET / http/1.1") << 400;
    QTest::newRow("version without dot") << head("GET / HTTP/11") << 400;
    QTest::newRow("version minor not a digit") << head("GET / HTTP/1.x") << 400;
    QTest::newRow("version two minor digits") << head("GET / HTTP/1.10") << 400;
    QTest::newRow("version cut") << head("GET / HTTP/1.") << 400;
    QTest::newRow("HTTP/2") << head("GET / HTTP/2.0") << 505;
    QTest::newRow("HTTP/0.9") << head("GET / HTTP/0.9") << 505;
    QTest::newRow("request line ends in bare CR") << head("GET / HTTP/1.1\r") << 400;

    // Line structure.
    QTest::newRow("bare LF line end") << QByteArray("GET / HTTP/1.1\nHost: 127.0.0.1") << 400;
    QTest::newRow("bare CR line end") << QByteArray("GET / HTTP/1.1\rHost: 127.0.0.1") << 400;
    QTest::newRow("blank line inside") << head("GET / HTTP/1.1", "Host: 127.0.0.1\r\n\r\nX-A: b") << 400;
    QTest::newRow("folded with space") << head("GET / HTTP/1.1", "Host: 127.0.0.1\r\nX-A: a\r\n b") << 400;
    QTest::newRow("folded with tab") << head("GET / HTTP/1.1", "Host: 127.0.0.1\r\nX-A: a\r\n\tb") << 400;
    QTest::newRow("first header folded") << head("GET / HTTP/1.1", " Host: 127.0.0.1") << 400;

    // Header names.
    QTest::newRow("no colon") << head("GET / HTTP/1.1", "Host 127.0.0.1") << 400;
    QTest::newRow("empty name") << head("GET / HTTP/1.1", ": 127.0.0.1") << 400;
    QTest::newRow("space before colon") << head("GET / HTTP/1.1", "Host : 127.0.0.1") << 400;
    QTest::newRow("space in name") << head("GET / HTTP/1.1", "X A: b") << 400;
    QTest::newRow("NUL in name") << head("GET / HTTP/1.1", QByteArray("X\0A: b", 6)) << 400;
    QTest::newRow("CR in name") << head("GET / HTTP/1.1", "X\rA: b") << 400;
    QTest::newRow("separator in name") << head("GET / HTTP/1.1", "X@A: b") << 400;
    QTest::newRow("high byte in name") << head("GET / HTTP/1.1", "X\xe9: b") << 400;

    // Header values.
    QTest::newRow("NUL in value") << head("GET / HTTP/1.1", QByteArray("Host: 127.0.0.1\r\nX-A: a\0b", 26)) << 400;
    QTest::newRow("NUL ends value") << head("GET / HTTP/1.1", QByteArray("X-A: ab\0", 8)) << 400;
    QTest::newRow("CR in value") << head("GET / HTTP/1.1", "X-A: a\rb") << 400;
    QTest::newRow("LF in value") << head("GET / HTTP/1.1", "X-A: a\nb: c") << 400;
    QTest::newRow("escape in value") << head("GET / HTTP/1.1", "X-A: a\x1b[2Jb") << 400;
    QTest::newRow("DEL in value") << head("GET / HTTP/1.1", "X-A: a\x7f") << 400;
    QTest::newRow("vertical tab in value") << head("GET / HTTP/1.1", "X-A: \va") << 400;
    QTest::newRow("two hosts") << head("GET / HTTP/1.1", "Host: 127.0.0.1\r\nHost: mirelune.localhost") << 400;

    // Framing: one body length, written one way.
    QTest::newRow("length 0 then 5") << withLength("Content-Length: 0\r\nContent-Length: 5") << 400;
    QTest::newRow("length 5 then 0") << withLength("Content-Length: 5\r\nContent-Length: 0") << 400;
    QTest::newRow("lengths in other case") << withLength("content-length: 5\r\nCONTENT-LENGTH: 6") << 400;
    QTest::newRow("length list") << withLength("Content-Length: 5, 5") << 400;
    QTest::newRow("length with plus") << withLength("Content-Length: +5") << 400;
    QTest::newRow("length negative") << withLength("Content-Length: -1") << 400;
    QTest::newRow("length with inner space") << withLength("Content-Length: 5 0") << 400;
    QTest::newRow("length hexadecimal") << withLength("Content-Length: 0x10") << 400;
    QTest::newRow("length exponent") << withLength("Content-Length: 1e3") << 400;
    QTest::newRow("length empty") << withLength("Content-Length:") << 400;
    QTest::newRow("length 19 digits") << withLength("Content-Length: 1000000000000000000") << 400;
    QTest::newRow("length beyond 64 bits") << withLength("Content-Length: 99999999999999999999") << 400;
    QTest::newRow("length with NUL") << withLength(QByteArray("Content-Length: 5\0", 18)) << 400;
    QTest::newRow("chunked") << withLength("Transfer-Encoding: chunked") << 400;
    QTest::newRow("identity coding") << withLength("transfer-encoding: identity") << 400;
    QTest::newRow("chunked and length") << withLength("Content-Length: 5\r\nTransfer-Encoding: chunked") << 400;
}

void TestHttpHeadParser::refusedHeads()
{
    QFETCH(QByteArray, head);
    QTEST(statusOf(HttpHeadParser::parse(head, kMaxHead)), "status");
}

void TestHttpHeadParser::acceptedHeads_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("contentLength");
    QTest::addColumn<bool>("wantsClose");

    QTest::newRow("health") << head("GET /api/health HTTP/1.1") << QByteArray("GET") << QStringLiteral("/api/health")
                            << qint64(0) << false;
    QTest::newRow("no headers") << head("HEAD / HTTP/1.1", {}) << QByteArray("HEAD") << QStringLiteral("/") << qint64(0)
                                << false;
    QTest::newRow("HTTP/1.0 closes") << head("GET / HTTP/1.0") << QByteArray("GET") << QStringLiteral("/") << qint64(0)
                                     << true;
    QTest::newRow("HTTP/1.0 keep-alive") << head("GET / HTTP/1.0", "Connection: Keep-Alive") << QByteArray("GET")
                                         << QStringLiteral("/") << qint64(0) << false;
    QTest::newRow("later minor version") << head("GET / HTTP/1.2") << QByteArray("GET") << QStringLiteral("/")
                                         << qint64(0) << false;
    QTest::newRow("query and encoded path") << head("GET /download/T/a%20b.pdf?x=1 HTTP/1.1") << QByteArray("GET")
                                            << QStringLiteral("/download/T/a b.pdf") << qint64(0) << false;
    QTest::newRow("length") << withLength("Content-Length: 25") << QByteArray("POST") << QStringLiteral("/api/sessions")
                            << qint64(25) << false;
    QTest::newRow("equal lengths") << withLength("Content-Length: 5\r\ncontent-length: 5") << QByteArray("POST")
                                   << QStringLiteral("/api/sessions") << qint64(5) << false;
    QTest::newRow("length zeros") << withLength("Content-Length: 007") << QByteArray("POST")
                                  << QStringLiteral("/api/sessions") << qint64(7) << false;
    QTest::newRow("length 18 digits") << withLength("Content-Length: 999999999999999999") << QByteArray("POST")
                                      << QStringLiteral("/api/sessions") << qint64(999999999999999999) << false;
    QTest::newRow("length in white space") << withLength("Content-Length:\t 5 \t") << QByteArray("POST")
                                           << QStringLiteral("/api/sessions") << qint64(5) << false;
    QTest::newRow("close") << head("GET / HTTP/1.1", "Connection: close") << QByteArray("GET") << QStringLiteral("/")
                           << qint64(0) << true;
    QTest::newRow("extension method") << head("M-SEARCH.v2 / HTTP/1.1") << QByteArray("M-SEARCH.v2")
                                      << QStringLiteral("/") << qint64(0) << false;
}

void TestHttpHeadParser::acceptedHeads()
{
    QFETCH(QByteArray, head);
    const HttpHeadParser::Result result = HttpHeadParser::parse(head, kMaxHead);
    QCOMPARE(statusOf(result), 0);
    const HttpRequest &request = std::get<HttpRequest>(result);
    QTEST(request.method, "method");
    QTEST(request.path, "path");
    QTEST(request.contentLength, "contentLength");
    QTEST(request.wantsClose(), "wantsClose");
}

void TestHttpHeadParser::headersKeepOrderAndTrimOnlyWhitespace()
{
    const QByteArray text = head("PUT /mirelune/uploads/k?partNumber=1 HTTP/1.1",
                                 "Host: 127.0.0.1:8443\r\nx-oss-meta-a:\t v a l \t\r\nX-Empty:\r\nX-Latin: caf\xe9");
    const HttpHeadParser::Result result = HttpHeadParser::parse(text, kMaxHead);
    QCOMPARE(statusOf(result), 0);
    const HttpRequest &request = std::get<HttpRequest>(result);
    QCOMPARE(request.target, QByteArray("/mirelune/uploads/k?partNumber=1"));
    QCOMPARE(request.version, QByteArray("HTTP/1.1"));
    QCOMPARE(request.query.queryItemValue(QStringLiteral("partNumber")), QStringLiteral("1"));
    const QList<QPair<QByteArray, QByteArray>> expected = {
        {"Host", "127.0.0.1:8443"}, {"x-oss-meta-a", "v a l"}, {"X-Empty", ""}, {"X-Latin", "caf\xe9"}};
    QCOMPARE(request.headers, expected);
    QCOMPARE(request.hostName(), QStringLiteral("127.0.0.1"));
}

void TestHttpHeadParser::headLimits_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("status");
    const QByteArray start = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: ";
    QTest::newRow("at the size limit") << start + QByteArray(kMaxHead - start.size(), 'a') << 0;
    QTest::newRow("one byte over") << start + QByteArray(kMaxHead - start.size() + 1, 'a') << 431;
    QTest::newRow("far over") << start + QByteArray(4 * kMaxHead, 'a') << 431;
    QTest::newRow("100 headers") << manyHeaders(HttpHeadParser::kMaxHeaderCount) << 0;
    QTest::newRow("101 headers") << manyHeaders(HttpHeadParser::kMaxHeaderCount + 1) << 431;
}

void TestHttpHeadParser::headLimits()
{
    QFETCH(QByteArray, head);
    QTEST(statusOf(HttpHeadParser::parse(head, kMaxHead)), "status");
}

MIRELUNE_TEST_MAIN(TestHttpHeadParser)
#include "tst_http_head_parser.moc"
