// Every seed and every saved crash input of the fuzz targets, fed to the targets' entries.
#include "FuzzEntries.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QStringList inputFiles(const QString &kind, const char *target)
{
    QDir folder(QStringLiteral(VELMOR_FUZZ_DIR "/%1/%2").arg(kind, QString::fromLatin1(target)));
    QStringList files;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

std::vector<FuzzEntries::Target> allTargets()
{
    const QVector<FuzzEntries::Target> targets = FuzzEntries::targets();
    return std::vector<FuzzEntries::Target>(targets.begin(), targets.end());
}

class FuzzRegressions : public ::testing::TestWithParam<FuzzEntries::Target>
{
};

TEST_P(FuzzRegressions, EveryCorpusAndRegressionInputPasses)
{
    const FuzzEntries::Target target = GetParam();
    const QStringList corpus = inputFiles(QStringLiteral("corpus"), target.name);
    ASSERT_FALSE(corpus.isEmpty()) << "no seed inputs for " << target.name;
    for (const QString &path : corpus + inputFiles(QStringLiteral("regressions"), target.name)) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        EXPECT_EQ(target.entry(file.readAll()).toStdString(), "") << qPrintable(path);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::ValuesIn(allTargets()),
                         [](const ::testing::TestParamInfo<FuzzEntries::Target> &info) {
                             return std::string(info.param.name);
                         });

} // namespace

namespace FuzzEntries {
void PrintTo(const Target &target, std::ostream *out)
{
    *out << target.name;
}
} // namespace FuzzEntries
