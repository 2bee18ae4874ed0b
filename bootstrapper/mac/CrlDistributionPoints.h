// The revocation-list addresses of a certificate chain, taken from the text
// OpenSSL prints for the CRL distribution points extension
// (SignatureVerification::extractX509v3Data with NID_crl_distribution_points).
// Kept apart from the verifier so the parsing of that text can be exercised
// on its own: the text comes from certificates of a downloaded signature.
#pragma once

#include <string>
#include <vector>

// `printed` holds one printed extension per certificate (any number, empty
// texts allowed). Every text is split at each "\n"; equal lines collapse into
// one. Each line that, after leading spaces (blanks only), begins with
// "URI:" gives the rest of the line as an address, verbatim (it may be empty;
// OpenSSL prints full names and CRL issuers alike as such lines). Every other
// line gives nothing. The addresses come in the order of their lines' text
// (byte-wise), which carries no meaning; an address printed on lines that
// differ in their leading spaces appears once per form. Pure: no state, no
// allocation outlives the call but the result.
std::vector<std::string> crlAddressesFromPrintedPoints(const std::vector<std::string>& printed);
