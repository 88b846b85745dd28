#include "Zmiany.h"

#include "Pomoc.h"

std::vector<CopyPart> PartsOfTable(TableId table) { return {PartOfTable(table)}; }

std::vector<CopyPart> AllParts(bool withHeaderAndRates) {
    std::vector<CopyPart> parts = {CopyPart::Packaging, CopyPart::Plu,       CopyPart::Cashier,
                                   CopyPart::Key,       CopyPart::Discounts, CopyPart::PaymentForm};
    if (withHeaderAndRates) {
        parts.push_back(CopyPart::Header);
        parts.push_back(CopyPart::Ptu);
    }
    return parts;
}

ChangesOutcome SendChanges(Connection&, const TableSet&, const std::vector<CopyPart>&, const RegisterIdentity&, int,
                           std::uint64_t) {
    return {ChangesOutcome::Result::FullSendNeeded, "Brak kopii stanu kasy", 0, 0};
}

bool UpdateCopyAfterRead(const Connection&, const TableSet&, const std::vector<CopyPart>&, const RegisterIdentity&) {
    return true;
}

bool UpdateCopyAfterSend(const Connection&, const TableSet&, const std::vector<CopyPart>&, const RegisterIdentity&) {
    return true;
}
