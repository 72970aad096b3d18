#include "manager/download_failure.h"

#include "net/net.h"
#include "net/problem.h"

Failure classifyDownloadError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        return failure;
    } catch (const Problem& problem) {
        return problem.failure();
    } catch (...) {
        return Net::problem(error, QStringLiteral("网络")).failure();
    }
}

bool offersLogin(const Phase& phase) {
    return phase.kind() == Phase::failed &&
           phase.failure().actions.contains(Failure::Action(Failure::Action::loginYuanbao));
}
