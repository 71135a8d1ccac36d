/* The reference for the helper benchmark: a set-user-ID program that does nothing. */
int main(void)
{
    return 0;
}
