#include "SvgCheck.h"

#include <QXmlStreamReader>

namespace Vector {

TSvgCheck CheckSvg(const QByteArray& bytes)
{
    QXmlStreamReader xml(bytes);
    bool rooted = false;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (!rooted && xml.name() != QLatin1String("svg"))
                return {TVectorProblem::NotSvg, QStringLiteral("the document is <%1>").arg(xml.name())};
            rooted = true;
            if (++depth > MaxNesting)
                return {TVectorProblem::TooLarge,
                        QStringLiteral("line %1: elements nested deeper than %2").arg(xml.lineNumber()).arg(MaxNesting)};
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (xml.hasError()) {
        const QString detail = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return {rooted ? TVectorProblem::Malformed : TVectorProblem::NotSvg, detail};
    }
    if (!rooted)
        return {TVectorProblem::NotSvg, QString()};
    return {};
}

} // namespace Vector
