#include "tools/mzb/Commands.h"

namespace mzb::cli {

std::string OperandCountError(const Args& operands, std::size_t wanted, const char* names) {
    if (operands.size() < wanted) {
        return std::string("missing ") + names;
    }
    if (operands.size() > wanted) {
        return UnexpectedArgumentError(operands[wanted]);
    }
    return {};
}

std::string UnexpectedArgumentError(const std::string& arg) {
    return (LooksLikeOption(arg) ? "unknown option " : "unexpected argument ") + arg;
}

std::string NowValueError(const Args& args, std::size_t i) {
    if (i >= args.size()) {
        return "--now needs a time, \"YYYY-MM-DD HH:MM:SS\"";
    }
    return "--now wants \"YYYY-MM-DD HH:MM:SS\", not \"" + args[i] + "\"";
}

} // namespace mzb::cli
