// A program that does nothing; what the tests read is the version resource
// built into it (version_fixture_1234.rc).
int main()
{
    return 0;
}
