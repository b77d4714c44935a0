// The one source of the targets that only precompile the headers the test
// suites share.
