#include "app/Task.h"

namespace tessera {

Task Task::with(const Service &service)
{
    Task task;
    task.transport = service.makeTransport();
    task.api = service.api;
    task.api.transport = task.transport;
    return task;
}

void Task::cancel()
{
    *cancelled = true;
    if (transport)
        transport->abortAll();
    alarm->ring();
}

} // namespace tessera
