#include "operations/OperationsView.h"

namespace kestrel {

void OperationsView::ShowSignature(const Signature& signature) { SetStatusText(SignatureText(signature)); }

void OperationsView::ShowVerifyMismatch(std::uint32_t address) { SetStatusText(VerifyMismatchText(address)); }

void OperationsView::OperationAborted() { SetStatusText(OperationAbortedText); }

void OperationsView::GaveUp() { ShowWarning(GiveUpWarning); }

}  // namespace kestrel
