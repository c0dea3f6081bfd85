#pragma once

#include <QString>
#include <QStringList>

// The power-loss run of the verifiable draw (tests/powerloss/verifydriver.cpp under the recorder):
// in every crash state the journal loads and takes another entry, a commitment it holds is opened by
// the seed file beside it, every draw shown is in it, and the independent verifier checks it up to its
// last entry.
namespace VerifyJournal {

struct Result {
    QString summary;
    QStringList violations;
    QString error;
};

Result run(const QString& driver, const QString& recorder, const QString& verifier);

} // namespace VerifyJournal
