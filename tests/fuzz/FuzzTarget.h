#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// One fuzzed input as a target sees it. A target reads it as bytes or as
// text, calls the function under test and states the properties the result
// must have with require(); a failed property ends this input and is
// reported with the input saved for replay.
class FuzzInput
{
public:
    explicit FuzzInput(const QByteArray &bytes) : m_bytes(bytes) { }

    const QByteArray &bytes() const { return m_bytes; }
    // The bytes as UTF-16 text. An odd first byte reads the rest as UTF-16
    // code units (lone surrogates and all), an even one as UTF-8, so both
    // kinds of odd text reach the function.
    QString text() const;
    // The bytes split into `count` texts at the byte 0x1F (missing ones empty).
    QStringList texts(int count) const;

    void require(bool condition, const QString &what) const;

private:
    QByteArray m_bytes;
};

// Thrown by FuzzInput::require; the runner catches it.
struct FuzzFailure
{
    QString what;
};

struct FuzzTarget
{
    QString name;
    // Inputs the mutations start from.
    QList<QByteArray> seeds;
    std::function<void(const FuzzInput &)> run;
    // Pieces the mutations insert besides the common ones (separators, dots,
    // control characters, full-width forms, long runs).
    QList<QByteArray> tokens;
    // Share of --inputs this target gets, per thousand: targets that go
    // through the network or the disk for every input take fewer.
    int perMille = 1000;
    // Called once before the first input and once after the last.
    std::function<void()> setUp;
    std::function<void()> tearDown;
    // The target makes connections: it runs only where the runner has a
    // network namespace of its own, with nothing but loopback.
    bool network = false;
};

// Registers a target; call it from a namespace-scope initialiser in a
// tests/fuzz/fuzz_*.cpp file, naming the fields it needs:
//
//   const int registered = addFuzzTarget({ .name = u"Name"_s, .seeds = { "seed" },
//       .run = [](const FuzzInput &in) {
//           in.require(property(functionUnderTest(in.text())), u"what went wrong"_s);
//       } });
int addFuzzTarget(FuzzTarget target);
QList<FuzzTarget> &fuzzTargets();
