#pragma once

// Drops every process-wide service of the session, the request managers
// first. Those managers own request objects, and request objects hold the
// server connections and observe the notification centres: released here,
// while the application object and the centres still exist, no connection
// is closed after the application has gone (Qt's TLS layer cannot be reached
// then) and no request object outlives the centre it unregisters from. The
// application calls it when it terminates; a test calls it to see that no
// connection is left.
void releaseSharedServices();
