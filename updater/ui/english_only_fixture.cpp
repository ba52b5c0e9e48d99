// A program that carries the English language file and nothing else: the
// fallback of the language choice is tested against it.
int main()
{
    return 0;
}
