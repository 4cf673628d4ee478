// The one source of a precompiled-header donor target: the header it
// precompiles comes in on the command line.
